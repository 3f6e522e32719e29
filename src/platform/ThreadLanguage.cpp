#include "platform/ThreadLanguage.h"

namespace tarsel {
namespace {
thread_local int threadUiLanguage = 1033;
}  // namespace

int GetThreadUiLanguage() { return threadUiLanguage; }

void SetThreadUiLanguage(int languageId) { threadUiLanguage = languageId; }

}  // namespace tarsel
