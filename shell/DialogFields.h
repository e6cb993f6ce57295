#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <QString>
#include <QStringList>

class QBoxLayout;
class QButtonGroup;
class QLineEdit;
class QWidget;

// Small pieces every dialog uses to move values between its controls and the settings: text
// conversion, radio groups that stand for a position, text fields with their capacity, and the
// reading of a field that tells the user and focuses the field when its value is refused. GUI
// thread only.

namespace torvex {

class CNumberSpin;
struct CNumberRange;
class IPrompter;

QString Q(std::string_view text);
std::string S(const QString& text);

// A text field named `name` that takes at most `capacity` characters.
QLineEdit* TextField(std::size_t capacity, const char* name);
// A number field named `name` over `range`.
CNumberSpin* NumberField(CNumberRange range, const char* name);

// Radio buttons with `captions` added to `layout`; the checked one's position is the group's
// value (first = 0).
QButtonGroup* RadioGroup(QWidget* owner, QBoxLayout* layout, const QStringList& captions);
void SetPosition(QButtonGroup* group, int position);
int Position(const QButtonGroup* group);

// Tells `message` through `prompter`, gives `field` the focus (selecting its text) and returns
// false, so that callers can `return Refuse(...)`.
bool Refuse(IPrompter& prompter, QWidget* field, std::string_view message);
// The text of `field` into `out` when it fits `capacity` and holds no control character; else
// refused, naming the field by `caption`.
bool ReadText(IPrompter& prompter, QLineEdit* field, std::string_view caption, std::size_t capacity,
              std::string& out);
// The number of `field` into `out` when it is in its range (or its unchanged stored value).
bool ReadNumber(IPrompter& prompter, CNumberSpin* field, int& out);

// The folder browser for a project directory, starting at `start`; empty when cancelled.
QString BrowseProjectDirectory(QWidget* parent, const QString& start);

} // namespace torvex
