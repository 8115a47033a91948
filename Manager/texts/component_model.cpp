#include "component_model.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <array>
#include <utility>

namespace texts {
namespace {

using P = TextProperty;

constexpr std::array kCaptionHint{P::Caption, P::Hint};
constexpr std::array kTextHint{P::Text, P::Hint};
constexpr std::array kHintItems{P::Hint, P::Items};
constexpr std::array kHintOnly{P::Hint};
constexpr std::array kCaptionOnly{P::Caption};

// A panel draws no caption here, but the property exists and keeps its value; a phrase keeps
// its words there too.
constexpr char kKeptCaption[] = "vr620Caption";

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString Caption(ComponentKind kind, QObject* object) {
    switch (kind) {
        case ComponentKind::Window:
            if (auto* w = qobject_cast<QWidget*>(object)) return w->windowTitle();
            break;
        case ComponentKind::Label:
            if (auto* l = qobject_cast<QLabel*>(object)) return l->text();
            break;
        case ComponentKind::Button:
        case ComponentKind::CheckBox:
            if (auto* b = qobject_cast<QAbstractButton*>(object)) return b->text();
            break;
        case ComponentKind::GroupBox:
            if (auto* g = qobject_cast<QGroupBox*>(object)) return g->title();
            break;
        case ComponentKind::Panel:
        case ComponentKind::Phrase:
            return object->property(kKeptCaption).toString();
        case ComponentKind::MenuItem:
            if (auto* a = qobject_cast<QAction*>(object)) return a->text();
            break;
        default:
            break;
    }
    return {};
}

void SetCaption(ComponentKind kind, QObject* object, const QString& text) {
    switch (kind) {
        case ComponentKind::Window:
            if (auto* w = qobject_cast<QWidget*>(object)) w->setWindowTitle(text);
            break;
        case ComponentKind::Label:
            if (auto* l = qobject_cast<QLabel*>(object)) l->setText(text);
            break;
        case ComponentKind::Button:
        case ComponentKind::CheckBox:
            if (auto* b = qobject_cast<QAbstractButton*>(object)) b->setText(text);
            break;
        case ComponentKind::GroupBox:
            if (auto* g = qobject_cast<QGroupBox*>(object)) g->setTitle(text);
            break;
        case ComponentKind::Panel:
        case ComponentKind::Phrase:
            object->setProperty(kKeptCaption, text);
            break;
        case ComponentKind::MenuItem:
            if (auto* a = qobject_cast<QAction*>(object)) a->setText(text);
            break;
        default:
            break;
    }
}

// A menu item's hint is its status tip: an action's tool tip falls back to its caption when it
// has none, and would then read back as a text that nobody set.
QString Hint(QObject* object) {
    if (auto* a = qobject_cast<QAction*>(object)) return a->statusTip();
    if (auto* w = qobject_cast<QWidget*>(object)) return w->toolTip();
    return {};
}

void SetHint(QObject* object, const QString& text) {
    if (auto* a = qobject_cast<QAction*>(object)) {
        a->setStatusTip(text);
        a->setToolTip(text);
    } else if (auto* w = qobject_cast<QWidget*>(object)) {
        w->setToolTip(text);
    }
}

}  // namespace

std::span<const TextProperty> PropertiesOf(ComponentKind kind) {
    switch (kind) {
        case ComponentKind::Window:
        case ComponentKind::Label:
        case ComponentKind::Button:
        case ComponentKind::GroupBox:
        case ComponentKind::CheckBox:
        case ComponentKind::Panel:
        case ComponentKind::MenuItem:
            return kCaptionHint;
        case ComponentKind::Edit:
            return kTextHint;
        case ComponentKind::ListBox:
            return kHintItems;
        case ComponentKind::UpDown:
        case ComponentKind::Image:
            return kHintOnly;
        case ComponentKind::Phrase:
            return kCaptionOnly;
        case ComponentKind::MainMenu:
            break;
    }
    return {};
}

bool IsLineList(TextProperty property) {
    return property == P::Items || property == P::Lines;
}

std::string_view KeySuffix(TextProperty property) {
    switch (property) {
        case P::Caption:
            return "->Caption";
        case P::Text:
            return "->Text";
        case P::Hint:
            return "->Hint";
        case P::Items:
            return "->Items->Text";
        case P::Lines:
            return "->Lines->Text";
    }
    return {};
}

Component::Component(std::string name, ComponentKind kind, QObject* object)
    : name_(std::move(name)), kind_(kind), object_(object) {}

Component::~Component() = default;

Component& Component::Add(std::string name, ComponentKind kind, QObject* object) {
    auto component = std::make_unique<Component>(std::move(name), kind, object);
    component->owner_ = this;
    owned_.push_back(std::move(component));
    return *owned_.back();
}

std::string Component::Key(TextProperty property) const {
    std::string key;
    if (owner_ != nullptr && !owner_->Name().empty()) key = owner_->Name() + "::";
    key += name_;
    key += KeySuffix(property);
    return key;
}

std::string Component::Value(TextProperty property) const {
    QObject* object = object_.data();
    if (object == nullptr) return {};
    switch (property) {
        case P::Caption:
            return ToUtf8(Caption(kind_, object));
        case P::Text:
            if (auto* e = qobject_cast<QLineEdit*>(object)) return ToUtf8(e->text());
            return {};
        case P::Hint:
            return ToUtf8(Hint(object));
        case P::Items:
        case P::Lines:
            break;
    }
    return {};
}

std::vector<std::string> Component::Lines(TextProperty property) const {
    std::vector<std::string> lines;
    auto* list = qobject_cast<QListWidget*>(object_.data());
    if (property != P::Items || list == nullptr) return lines;
    lines.reserve(static_cast<std::size_t>(list->count()));
    for (int i = 0; i < list->count(); ++i) lines.push_back(ToUtf8(list->item(i)->text()));
    return lines;
}

void Component::SetValue(TextProperty property, std::string_view text) {
    QObject* object = object_.data();
    if (object == nullptr) return;
    switch (property) {
        case P::Caption:
            SetCaption(kind_, object, FromUtf8(text));
            break;
        case P::Text:
            if (auto* e = qobject_cast<QLineEdit*>(object)) e->setText(FromUtf8(text));
            break;
        case P::Hint:
            SetHint(object, FromUtf8(text));
            break;
        case P::Items:
            if (auto* list = qobject_cast<QListWidget*>(object)) {
                list->clear();
                for (const std::string& line : SplitLines(text)) list->addItem(FromUtf8(line));
            }
            break;
        case P::Lines:
            break;
    }
}

void Walk(Component& component, const std::function<void(Component&)>& visit) {
    if (!component.Name().empty()) visit(component);
    for (std::size_t i = 0; i < component.OwnedCount(); ++i) Walk(component.Owned(i), visit);
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos] == '\r') {
            ++pos;
            if (pos < text.size() && text[pos] == '\n') ++pos;
        } else if (pos < text.size()) {
            ++pos;
        }
    }
    return lines;
}

}  // namespace texts
