#include "command_line.h"

#include <QCoreApplication>
#include <QStringList>
#include <climits>

#include "whole_number.h"

namespace manager {
namespace {

std::string WithoutEvery(std::string text, std::string_view key) {
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
        text.erase(at, key.size());
    return text;
}

}  // namespace

int ParseDecimal(std::string_view text, int fallback) {
    // One optional sign; the parser takes "-" itself but not "+".
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return fallback;
    }
    return common::ParseWholeNumber(text, INT_MIN, INT_MAX).value_or(fallback);
}

namespace {

int ParsePort(std::string_view text) {
    // A TCP port is 1 to 65535: the gateway could not listen on another number, and the
    // clients, which are told the same number, would look for it elsewhere.
    const int port = ParseDecimal(text, gateway::kDefaultPort);
    return port >= 1 && port <= 65535 ? port : gateway::kDefaultPort;
}

}  // namespace

void ApplyCommandLine(const std::vector<std::string>& arguments, CommandLineSettings& settings) {
    for (const std::string& argument : arguments) {
        const std::string_view head = std::string_view(argument).substr(0, 5);
        if (head == "LANG=") settings.language = WithoutEvery(argument, "LANG=");
        if (head == "PORT=") settings.port = ParsePort(WithoutEvery(argument, "PORT="));
        if (head == "HOST=") settings.host = WithoutEvery(argument, "HOST=");
    }
}

std::vector<std::string> ProcessArguments() {
    std::vector<std::string> arguments;
    if (QCoreApplication::instance() == nullptr) return arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toLocal8Bit().toStdString());
    return arguments;
}

}  // namespace manager
