// Answers a window's file prompt from a list, in order (an empty text cancels), and keeps what
// the window asked. Running out of answers cancels, so a surplus question cannot hang a test.
#pragma once

#include <QStringList>
#include <vector>

#include "file_prompt.h"

class ScriptedFilePrompt {
public:
    void answer(const QStringList& paths) { answers_ = paths; }
    const std::vector<widgets::FileQuestion>& asked() const { return asked_; }

    // Install as the window's prompt; this object must outlive the window's use of it.
    widgets::FilePrompt prompt() {
        return [this](QWidget*, const widgets::FileQuestion& question) {
            asked_.push_back(question);
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        };
    }

private:
    QStringList answers_;
    std::vector<widgets::FileQuestion> asked_;
};
