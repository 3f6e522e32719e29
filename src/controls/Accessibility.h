#pragma once
// What a screen reader learns about the tool's own controls. Qt describes its standard
// widgets itself; the tool's painted labels, pop-up choice lists and message boxes are
// described here: a painted label reads as static text, a choice list as a list (or a menu)
// of items that can be pressed, a message box as an alert whose name is what it says.
//
// Names that come from the string tables are kept by text id, so that a language switch
// sets them again (ReloadNames).
//
// Everything here runs on the window's thread.

#include <QAccessible>
#include <QRect>
#include <QString>

class QWidget;

// Installs the descriptions of the tool's controls; safe to call more than once.
void InstallTarselAccessibility();

// A widget that offers a short list of choices (the choosers and the small menus). The
// current choice is the one the keyboard moves and Enter or Space takes.
class CChoiceList {
public:
    virtual ~CChoiceList() = default;
    virtual int ChoiceCount() const = 0;
    virtual QString ChoiceText(int choice) const = 0;
    // In the widget's own coordinates.
    virtual QRect ChoiceRect(int choice) const = 0;
    virtual int CurrentChoice() const = 0;
    virtual void ActivateChoice(int choice) = 0;
    // A menu reads as a menu of commands, otherwise as a list to choose from.
    virtual bool ChoicesAreMenu() const { return false; }
};

// The keys of a choice list: the choice that Up, Down (round at the ends), Home or End
// moves to from `current` among `count`, or -1 for any other key.
int ChoiceAfterKey(int key, int current, int count);
// Enter, Return and Space take the current choice.
bool IsTakeChoiceKey(int key);

// Tells a screen reader that the current choice of `list` (a CChoiceList widget) moved.
void NoteChoiceMoved(QWidget* list, int choice);

// The accessible role of a widget that Qt would describe as a bare pane: the message boxes
// are alerts, the tool windows dialogs. Set once, right after construction.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// The accessible name of `widget` from a text id (through the caption remapping), in the
// current language; ReloadNames sets it again after a language switch.
void SetNameById(QWidget* widget, int id);
// Sets again, in the current language, every name below `root` (and of root) that was set
// by SetNameById.
void ReloadNames(QWidget* root);

// Has a screen reader speak the alert `box` (its name is its text) now: used when a message
// box appears or its text is replaced while it is shown.
void AnnounceAlert(QWidget* box);

// Tells a screen reader that the name of `widget` changed (a label's text, an alert's lines).
void NoteNameChanged(QWidget* widget);
