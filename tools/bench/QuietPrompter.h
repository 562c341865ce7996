#pragma once

#include "platform/Prompter.h"

namespace kx::bench {

// A prompter that shows nothing and answers every window as its Cancel or No would: the
// benchmarks run the program's steps with nobody at the screen. A benchmark overrides what it
// wants to see.
class QuietPrompter : public Prompter {
public:
    void warning(const QString&) override {}
    bool question(const QString&) override {
        return false;
    }
    void result(const QString&) override {}
    void notice(const QString&) override {}
    void errorReport(const QString&) override {}
    QString input(const QString&, const QString&, const QString&) override {
        return {};
    }
    QString openFile(const QString&, const QString&) override {
        return {};
    }
    QString openPicture(const QString&) override {
        return {};
    }
    QString saveFile(const QString&, const QString&) override {
        return {};
    }
};

} // namespace kx::bench
