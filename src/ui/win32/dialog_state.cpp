#include "ui/win32/dialog_state.h"

#include "ui/win32/drawing.h"

thread_local DialogState dialogState = {};

void ResetDialogState() {
    dialogState = {};
    dialogState.backgroundBrush = CreateSolidBrush(kBackgroundColor);
}
