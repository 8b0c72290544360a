// MessageBeep: no sound of our own; the front end may play one or note it.
#include "ui/internal.h"

BOOL MessageBeep(UINT uType) {
    if (auto* f = vlt::ui::detail::fe()) f->beep(uType);
    return TRUE;
}
