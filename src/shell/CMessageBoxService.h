#pragma once
// Message boxes as the program shows them: the title "Kestrane", an
// exclamation icon for OK boxes, a question icon for Yes/No boxes.
#include "MessageService.h"

class CMessageBoxService : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons buttons) override;
};
