#pragma once
// The calling thread's user-interface language: the language id through which it looks
// texts up (1033 English, 31748 Traditional Chinese, 1041 Japanese, 1045 Polish). A thread
// that never set one speaks English.

namespace tarsel {

int GetThreadUiLanguage();
void SetThreadUiLanguage(int languageId);

}  // namespace tarsel
