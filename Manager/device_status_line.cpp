#include "device_status_line.h"

#include <QEvent>
#include <ctime>
#include <string>

#include "component_model.h"
#include "local_time.h"
#include "log_writer.h"

namespace manager {
namespace {

struct WordDesign {
    const char* name;
    const char* text;  // built-in Finnish
};

constexpr WordDesign kWords[DeviceStatusLine::kWordCount] = {
    {"Phrase_DeviceState", "Laitteen tila"},
    {"Phrase_Closed", "suljettu"},
    {"Phrase_Dialling", "soitetaan"},
    {"Phrase_Open", "auki"},
    {"Phrase_ModemConnected", "yhteydessä modeemin kautta"},
    {"Phrase_Lost", "kadonnut"},
    {"Phrase_OneClient", "1 asiakas"},
    {"Phrase_Clients", "%1 asiakasta"},
    {"Phrase_LastError", "viimeisin virhe %1: %2"},
    {"Phrase_NoGateway", "Ei yhteyspalvelinta tällä tietokoneella"},
    {"Phrase_ReleaseAt", "vapautetaan %1, ellei asiakas yhdistä"},
};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The time in the connection log's form, "dd.mm.yyyy hh:nn:ss", so that the line leads to the
// log's line of the same failure.
QString Stamp(std::chrono::system_clock::time_point when) {
    char stamp[gateway::kLogStampLength + 1] = "";
    if (const auto local = common::LocalTime(std::chrono::system_clock::to_time_t(when)))
        gateway::FormatLogStamp(*local, stamp, sizeof stamp);
    return QString::fromLatin1(stamp).trimmed();
}

// `words` with its placeholders filled. A language's words without them lose nothing: what
// they lack follows them.
QString Fill(const QString& words, const QString& first) {
    if (words.contains(QLatin1String("%1"))) return words.arg(first);
    return first + ' ' + words;
}

QString Fill(const QString& words, const QString& first, const QString& second) {
    if (words.contains(QLatin1String("%1")) && words.contains(QLatin1String("%2")))
        return words.arg(first, second);
    return words + ' ' + first + ": " + second;
}

}  // namespace

DeviceStatusLine::DeviceStatusLine(QWidget* parent, texts::Component& window) : QLabel(parent) {
    setObjectName("Label_DeviceStatus");
    // The path and the reason come from outside: never read as markup.
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    // A long path must not widen the window; the line breaks between words instead.
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
    setMargin(2);
    // Tab reaches it, and its text can be selected and copied with the keyboard or the mouse.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);

    window.Add("Label_DeviceStatus", texts::ComponentKind::Label, this);
    for (int i = 0; i < kWordCount; ++i) {
        auto* words = new QObject(this);
        words->setObjectName(QString::fromLatin1(kWords[i].name));
        texts::Component& component =
            window.Add(kWords[i].name, texts::ComponentKind::Phrase, words);
        component.SetValue(texts::TextProperty::Caption, kWords[i].text);
        // The language's words arrive after the line was drawn: it is drawn again.
        words->installEventFilter(this);
        words_[static_cast<std::size_t>(i)] = &component;
    }
    Render();
}

QString DeviceStatusLine::Words(Word word) const {
    return FromUtf8(words_[static_cast<std::size_t>(word)]->Value(texts::TextProperty::Caption));
}

void DeviceStatusLine::ShowStatus(const std::optional<gateway::DeviceStatus>& status) {
    status_ = status;
    Render();
}

bool DeviceStatusLine::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DynamicPropertyChange) Render();
    return QLabel::eventFilter(watched, event);
}

void DeviceStatusLine::Render() {
    QString line;
    if (!status_) {
        line = Words(kNoGateway);
    } else {
        const gateway::DeviceStatus& s = *status_;
        line = QStringLiteral("COM%1").arg(s.com);
        if (!s.path.empty()) line += " (" + FromUtf8(s.path) + ")";
        Word state = kClosed;
        // A relay has no device of its own to say the state of.
        const bool relay = s.com == 0;
        if (relay) line = FromUtf8(s.path);
        switch (s.state) {
            case gateway::DeviceState::kClosed:
                state = kClosed;
                break;
            case gateway::DeviceState::kDialling:
                state = kDialling;
                break;
            case gateway::DeviceState::kOpen:
                state = kOpen;
                break;
            case gateway::DeviceState::kModemConnected:
                state = kModemConnected;
                break;
            case gateway::DeviceState::kLost:
                state = kLost;
                break;
        }
        line += relay ? QStringLiteral(", ") : ": " + Words(state) + ", ";
        line +=
            s.clients == 1 ? Words(kOneClient) : Fill(Words(kClients), QString::number(s.clients));
        if (!s.lastReason.empty()) {
            line += "; " + Fill(Words(kLastError), Stamp(s.lastReasonTime), FromUtf8(s.lastReason));
        }
        if (s.releaseAt) line += "; " + Fill(Words(kReleaseAt), Stamp(*s.releaseAt));
    }
    setText(line);
    // A screen reader names the line and reads what it says; a change is announced.
    setAccessibleName(Words(kName));
    setAccessibleDescription(line);
}

}  // namespace manager
