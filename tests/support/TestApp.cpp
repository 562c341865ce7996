#include "TestApp.h"

#include <QCheckBox>
#include <QLineEdit>

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
