// The named components of the manager's windows, as the language texts and the text export see
// them. Each window owns its components in a fixed order (the order of its layout description,
// which is not the order of the visual parents), and each kind of component carries a fixed set
// of text properties. The language texts lay texts over exactly these properties and the text
// export writes exactly these, in the same walk.
#pragma once

#include <QPointer>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class QObject;

namespace texts {

// In the order in which the walk visits them.
enum class TextProperty { Caption, Text, Hint, Items, Lines };

enum class ComponentKind {
    Window,    // QWidget top-level window: Caption = window title
    Label,     // QLabel
    Button,    // QAbstractButton: push button or a button with a glyph
    GroupBox,  // QGroupBox: Caption = title
    CheckBox,  // QAbstractButton
    Panel,     // QFrame; its caption is kept, not drawn
    MenuItem,  // QAction (a sub-menu's menuAction())
    Edit,      // QLineEdit: Text
    ListBox,   // QListWidget: Items
    UpDown,    // any widget: Hint only
    Image,     // any widget: Hint only
    MainMenu,  // QMenuBar: its items are menu items, not text lines, so it carries no text
    Phrase,    // any object: words that the window puts into a text of its own; Caption only,
               // kept, not drawn
};

// The text properties that `kind` carries, in walk order.
std::span<const TextProperty> PropertiesOf(ComponentKind kind);

// Items and Lines hold a list of text lines; the others one text.
bool IsLineList(TextProperty property);

// "->Caption", "->Text", "->Hint", "->Items->Text", "->Lines->Text".
std::string_view KeySuffix(TextProperty property);

class Component {
  public:
    // A component without an owner, normally a window (its owner, the application, has no
    // name). `object` is the Qt object that holds the texts.
    Component(std::string name, ComponentKind kind, QObject* object);
    ~Component();
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    // Creates a component owned by this one, after those it already owns.
    Component& Add(std::string name, ComponentKind kind, QObject* object);

    const std::string& Name() const { return name_; }
    ComponentKind Kind() const { return kind_; }
    std::size_t OwnedCount() const { return owned_.size(); }
    Component& Owned(std::size_t index) const { return *owned_.at(index); }

    // The owner's name and "::" (nothing when the owner has no name or there is none), the
    // component's name and the property's suffix.
    std::string Key(TextProperty property) const;

    // The current text of a single-text property (UTF-8).
    std::string Value(TextProperty property) const;
    // The current lines of a list property.
    std::vector<std::string> Lines(TextProperty property) const;
    // Replaces the property's text; a list property takes the lines of `text` (split at CR LF,
    // CR or LF; a final line break adds no empty line).
    void SetValue(TextProperty property, std::string_view text);

  private:
    std::string name_;
    ComponentKind kind_;
    QPointer<QObject> object_;
    Component* owner_ = nullptr;
    std::vector<std::unique_ptr<Component>> owned_;
};

// Depth first and pre-order: `visit` runs for the component itself when it has a name, then the
// walk goes on through everything it owns, in order (also below a component without a name).
// The number of owned components is read again before each step.
void Walk(Component& component, const std::function<void(Component&)>& visit);

// The lines of a text as a list property takes them.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace texts
