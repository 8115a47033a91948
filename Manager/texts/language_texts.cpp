#include "language_texts.h"

#include <array>
#include <cstring>
#include <utility>

#include "component_model.h"
#include "debug_trace.h"
#include "language_library.h"
#include "message_boxes.h"
#include "program_path.h"

namespace texts {
namespace {

constexpr int kNumberedTextBufferSize = 1024;

// The Finnish message texts, for when no language library can be loaded: a box without words
// would leave the user guessing.
struct BuiltInText {
    int number;
    const char* text;
};
constexpr BuiltInText kBuiltInTexts[] = {
    {kTextErrorCaption, "Virhe"},
    {kTextQuestionCaption, "Kysymys"},
    {kTextGatewayNotStarted, "Yhteyspalvelinta ei voitu käynnistää."},
    {kTextCloseWithClients, "Asiakasohjelmia on vielä yhteydessä. Suljetaanko ohjelma silti?"},
    {kTextSettingsNotRead, "Asetuksia ei voitu lukea."},
    {kTextSettingsNotWritten, "Asetuksia ei voitu tallentaa."},
    {kTextClientNotStarted, "Asiakasohjelmaa ei voitu käynnistää."},
};

void ReportError(const char* text) {
    manager::ShowMessageBox({.caption = "Error",
                             .text = text,
                             .icon = manager::BoxIcon::Error,
                             .buttons = manager::BoxButtons::Ok,
                             .defaultAnswer = manager::BoxAnswer::Ok});
}

}  // namespace

std::string BuiltInNumberedText(int number) {
    for (const BuiltInText& entry : kBuiltInTexts) {
        if (entry.number == number) return entry.text;
    }
    return {};
}

std::filesystem::path LanguageLibraryPath(std::string_view language) {
    std::string suffix = "_";
    suffix += language;
    suffix += manager::kLibrarySuffix;
    return manager::ProgramPathWithSuffix(suffix);
}

LanguageTexts::LanguageTexts(std::string language)
    : language_(std::move(language)), library_(LanguageLibraryPath(language_)) {}

bool LanguageTexts::LoadLibrary() {
    if (library_.Loaded()) return true;
    // The box only says that loading failed; the reason goes to the debug output.
    if (!library_.Load()) DEBUG_TRACE("%s", library_.Error().c_str());
    return library_.Loaded();
}

std::string LanguageTexts::LoadText(int number) {
    if (!LoadLibrary()) {
        ReportError("Error in loading resource DLL");
        return BuiltInNumberedText(number);
    }
    auto load =
        reinterpret_cast<LoadNumberedStringFunction>(library_.Resolve(kLoadNumberedStringName));
    if (load == nullptr || number < 0) return {};
    std::array<char, kNumberedTextBufferSize> buffer{};
    const int length = load(static_cast<unsigned>(number), buffer.data(), kNumberedTextBufferSize);
    if (length <= 0) return {};
    // Trust neither the length nor the terminator from outside further than the buffer.
    buffer.back() = '\0';
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

void LanguageTexts::ApplyTexts(Component& component) {
    if (!LoadLibrary()) {
        ReportError("Error in loading resource DLL");
        return;
    }
    auto load =
        reinterpret_cast<LoadResourceStringFunction>(library_.Resolve(kLoadResourceStringName));
    if (load == nullptr) {
        ReportError("Resource DLL doesn't contain LoadResourceString function");
        return;
    }
    Walk(component, [&](Component& named) {
        for (const TextProperty property : PropertiesOf(named.Kind())) {
            const std::string key = named.Key(property);
            const char* text = load(key.c_str(), &context_);
            if (text != nullptr) named.SetValue(property, text);
        }
    });
}

}  // namespace texts
