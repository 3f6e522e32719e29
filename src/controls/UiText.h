#pragma once
// The one road from the string tables and the address checks of the core into the widgets,
// converting the core's byte strings (UTF-8) into Qt text.

#include <QString>

// The text of `id` in the calling thread's language.
QString UiText(int id);

// A camera's own text (name, model...) as a list draws it: its bidirectional overrides and
// isolates shown as U+FFFD, so that a name reads in the order its characters came and
// cannot pass for another ("evil" sent with U+202E is not shown as "live"). Not for an
// edit field, whose text may go back to the camera.
QString UiCameraText(const char* text);

// The caption of a custom control set from `id`: the id passes through the caption
// remapping first.
QString UiCaption(int id);

// Validation kinds of an edit field: 0 nothing, 1 IPv4 address, 2 subnet mask, 3 port.
// True when `text` passes the check of `kind` (kind 0 and unknown kinds always pass).
bool UiTextPasses(int kind, const QString& text);

// Logs when the calling thread's language differs from the process's current language
// (the row-status setter calls it before it loads a text); changes nothing.
void UiCheckLanguage();

// The numeric value of a dotted IPv4 address text; false when the text is no address.
bool UiAddressValue(const QString& text, quint64* value);

// Qt's own texts (its file dialogs, the buttons Qt names itself) in the language of index
// `language` (see common/Language.h), from Qt's translations where the system has them;
// Qt's English otherwise.
void UiUseQtTranslations(int language);
