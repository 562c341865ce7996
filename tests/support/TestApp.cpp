#include "TestApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kx::test {

TestApp::TestApp(bool withConfigTable) {
    if (withConfigTable)
        folder.createConfigTable();
    form1 = std::make_unique<TForm1>(prompter, lifetime);
    form1->createForms();
    form125 = form1->loginDialog();
    form1->data().FDConnection2.setDatabase(folder.dataDb());
}

TestApp::~TestApp() {
    form1.reset();
}

ModalCloser::ModalCloser() {
    auto* timer = new QTimer(this);
    timer->setInterval(5);
    connect(timer, &QTimer::timeout, this, [this] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened << w->objectName();
            w->close();
        }
    });
    timer->start();
}

void TestApp::startUp(const ConnectionParams& p) {
    // Answers the login dialog as soon as the start-up shows it.
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, form125, [this, p, &answer] {
        if (QApplication::activeModalWidget() != form125)
            return;
        answer.stop();
        fillLogin(p);
        form125->BitBtn1->click();
    });
    answer.start();
    form1->FormShow();
}

void TestApp::fillLogin(const ConnectionParams& p) {
    form125->Edit1->setText(p.server);
    form125->Edit2->setText(p.port);
    form125->Edit3->setText(p.database);
    form125->Edit4->setText(p.user);
    form125->Edit5->setText(p.password);
}

void TestApp::login(const ConnectionParams& p) {
    form125->FormShow();
    fillLogin(p);
    form125->BitBtn1Click();
}

} // namespace kx::test
