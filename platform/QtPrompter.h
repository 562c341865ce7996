#pragma once

#include "Prompter.h"

class QWidget;

namespace kx {

// The Prompter that shows real Qt dialogs.
class QtPrompter : public Prompter {
public:
    void warning(const QString& text) override;
    bool question(const QString& text) override;
    void result(const QString& text) override;
    void notice(const QString& text) override;
    void errorReport(const QString& text) override;
    QString input(const QString& caption, const QString& prompt,
                  const QString& defaultText) override;
    QString openFile(const QString& title, const QString& startPath) override;
    QString openPicture(const QString& startPath) override;
    QString saveFile(const QString& folder, const QString& proposedName) override;
    std::unique_ptr<Progress> progress(const QString& text, qint64 total) override;
};

} // namespace kx
