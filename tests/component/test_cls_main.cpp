// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPluginLoader>
#include <QPointer>
#include <QWidget>

#include "browser/frm_main.h"
#include "browser/frm_q_in_base_room.h"
#include "corvan/component.h"
#include "entry/cls_main.h"
#include "support/test_host.h"

using namespace corvan;
using corvan::test::TestDatabase;
using corvan::test::TestHost;

namespace {

class ClsMainTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        component.clearEnv();
        for (QWidget* extra : std::as_const(extras))
            delete extra;
    }

    // A window of the component's collection besides the main window and room search,
    // standing in for the wizard or history windows.
    QWidget* loadExtraWindow(bool visible)
    {
        auto* window = new QWidget();
        window->setObjectName(QStringLiteral("extra%1").arg(extras.size()));
        component.adopt(window);
        window->setVisible(visible);
        extras.append(window);
        return window;
    }

    QStringList formNames() const
    {
        QStringList names;
        for (QWidget* form : component.forms())
            names << form->objectName();
        return names;
    }

    QVector<bool> visibility() const
    {
        QVector<bool> shown;
        for (QWidget* form : component.forms())
            shown << form->isVisible();
        return shown;
    }

    static int errorNumber(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const ComponentError& error) {
            return error.number();
        }
        return 0;
    }

    TestDatabase database;
    clsMain component;
    QList<QPointer<QWidget>> extras;
};

TEST_F(ClsMainTest, InitEnvReadsSubscriptsOneToSevenAndFourteen)
{
    TestHost host(database);
    QVector<QObject*> objArr = host.objectArray();
    ASSERT_EQ(objArr.size(), 15);
    // Subscript 0 and 8 to 13 are ignored, whatever they hold.
    QObject stranger;
    objArr[0] = &stranger;
    for (int i = 8; i <= 13; ++i)
        objArr[i] = i % 2 ? &stranger : nullptr;
    component.initEnv(objArr);

    const auto& state = component.context();
    EXPECT_EQ(state.SheetService(), qobject_cast<SheetService*>(objArr[1]));
    EXPECT_EQ(state.UiService(), qobject_cast<UiService*>(objArr[2]));
    EXPECT_EQ(state.ContextService(), qobject_cast<ContextService*>(objArr[3]));
    EXPECT_EQ(state.ApplicationService(), qobject_cast<ApplicationService*>(objArr[4]));
    EXPECT_EQ(state.MessageService(), host.messages());
    EXPECT_EQ(state.DataService(), host.recorder());
    EXPECT_EQ(state.TransactionService(), host.recorder());
    EXPECT_EQ(state.RightService(), qobject_cast<RightService*>(objArr[7]));
    EXPECT_EQ(state.ResourceViewService(), objArr[14]);
    EXPECT_NE(state.ResourceViewService(), nullptr);
}

TEST_F(ClsMainTest, InitEnvFailuresKeepTheElementsStoredBeforeThem)
{
    TestHost first(database);
    TestHost second(database);
    component.initEnv(first.objectArray());
    auto& state = component.context();

    // An array that ends at subscript 13: 1 to 7 are stored, 14 is out of range.
    QVector<QObject*> shortArr = second.objectArray();
    shortArr.resize(14);
    EXPECT_EQ(errorNumber([&] { component.initEnv(shortArr); }), 9);
    EXPECT_EQ(state.DataService(), second.recorder());
    EXPECT_EQ(state.RightService(), qobject_cast<RightService*>(second.objectArray()[7]));
    EXPECT_EQ(state.ResourceViewService(), first.objectArray()[14]);

    // An element without its interface: the ones before it are the new host's, the
    // ones from it on stay the earlier host's.
    component.initEnv(first.objectArray());
    QVector<QObject*> wrongArr = second.objectArray();
    QObject notAContext;
    wrongArr[3] = &notAContext;
    EXPECT_EQ(errorNumber([&] { component.initEnv(wrongArr); }), 13);
    EXPECT_EQ(state.SheetService(), qobject_cast<SheetService*>(second.objectArray()[1]));
    EXPECT_EQ(state.UiService(), qobject_cast<UiService*>(second.objectArray()[2]));
    EXPECT_EQ(state.ContextService(), qobject_cast<ContextService*>(first.objectArray()[3]));
    EXPECT_EQ(state.DataService(), first.recorder());

    // A missing object offers no interface either; an empty array fails at subscript 1.
    QVector<QObject*> nullArr = second.objectArray();
    nullArr[6] = nullptr;
    EXPECT_EQ(errorNumber([&] { component.initEnv(nullArr); }), 13);
    EXPECT_EQ(errorNumber([&] { component.initEnv({}); }), 9);
    try {
        component.initEnv({});
    } catch (const ComponentError& error) {
        EXPECT_EQ(error.text(), QStringLiteral("Subscript out of range"));
    }
}

TEST_F(ClsMainTest, ShowMainFormLoadsFreshWindowsEachTime)
{
    TestHost host(database);
    component.initEnv(host.objectArray());
    component.ShowMainForm();
    EXPECT_EQ(formNames(), (QStringList{QStringLiteral("frmQInBaseRoom"), QStringLiteral("frmMain")}));
    QPointer<QWidget> firstMain = component.loaded<frmMain>();
    QPointer<QWidget> firstSearch = component.loaded<frmQInBaseRoom>();
    ASSERT_TRUE(firstMain);
    EXPECT_TRUE(firstMain->isVisible());
    EXPECT_EQ(firstMain->windowTitle(), QStringLiteral("基站调整"));

    // A window opened from the main window earlier stays as it is.
    QWidget* other = loadExtraWindow(true);
    component.ShowMainForm();
    EXPECT_TRUE(firstMain.isNull());
    EXPECT_TRUE(firstSearch.isNull());
    EXPECT_EQ(formNames(), (QStringList{other->objectName(), QStringLiteral("frmQInBaseRoom"),
                                        QStringLiteral("frmMain")}));
    EXPECT_TRUE(other->isVisible());
    auto* main = component.loaded<frmMain>();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(main->findChild<QWidget*>(QStringLiteral("frmQInBaseRoom")));

    component.clearEnv();
    EXPECT_TRUE(formNames().isEmpty());
}

TEST_F(ClsMainTest, HildFrmAndShowFrmRestoreWhatWasVisible)
{
    TestHost host(database);
    component.initEnv(host.objectArray());
    component.ShowMainForm();
    loadExtraWindow(true);
    loadExtraWindow(false);
    ASSERT_EQ(visibility(), (QVector<bool>{true, true, true, false}));

    component.hildFrm();
    EXPECT_EQ(visibility(), (QVector<bool>{false, false, false, false}));
    EXPECT_EQ(component.visibilityRecord(), (QVector<bool>{true, true, true, false, false}));
    component.showFrm();
    EXPECT_EQ(visibility(), (QVector<bool>{true, true, true, false}));

    // One window more than recorded reads the spare entry and is hidden.
    component.hildFrm();
    loadExtraWindow(true);
    EXPECT_EQ(errorNumber([&] { component.showFrm(); }), 0);
    EXPECT_EQ(visibility(), (QVector<bool>{true, true, true, false, false}));

    // Two more run past the record: the first of them takes the spare entry, the second
    // has none; the windows before it are restored and it stays as it was.
    component.hildFrm();
    loadExtraWindow(true);
    loadExtraWindow(true);
    EXPECT_EQ(errorNumber([&] { component.showFrm(); }), 9);
    EXPECT_EQ(visibility(), (QVector<bool>{true, true, true, false, false, false, true}));

    // Fewer windows than recorded: the extra entries are simply not read.
    component.hildFrm();
    delete extras.takeLast();
    delete extras.takeLast();
    component.showFrm();
    EXPECT_EQ(visibility(), (QVector<bool>{true, true, true, false, false}));
}

TEST_F(ClsMainTest, ShowFrmWithoutHildFrmFailsAtTheFirstWindow)
{
    TestHost host(database);
    component.initEnv(host.objectArray());
    // With no window loaded there is nothing to restore and nothing fails.
    EXPECT_EQ(errorNumber([&] { component.showFrm(); }), 0);
    component.ShowMainForm();
    EXPECT_EQ(errorNumber([&] { component.showFrm(); }), 9);
    EXPECT_EQ(visibility(), (QVector<bool>{true, true}));
}

TEST_F(ClsMainTest, TwoComponentsInOneProcessDoNotSeeEachOther)
{
    TestDatabase otherDatabase;
    TestHost first(database);
    TestHost second(otherDatabase, QStringLiteral("admin"));
    clsMain other;
    component.initEnv(first.objectArray());
    other.initEnv(second.objectArray());
    component.ShowMainForm();
    other.ShowMainForm();
    EXPECT_EQ(component.context().DataService(), first.recorder());
    EXPECT_EQ(other.context().DataService(), second.recorder());
    ASSERT_EQ(component.forms().size(), 2);
    ASSERT_EQ(other.forms().size(), 2);
    EXPECT_NE(component.forms().at(1), other.forms().at(1));
    // Each hides and unloads its own windows only.
    other.hildFrm();
    EXPECT_EQ(visibility(), (QVector<bool>{true, true}));
    other.clearEnv();
    EXPECT_EQ(formNames(), (QStringList{QStringLiteral("frmQInBaseRoom"), QStringLiteral("frmMain")}));
    EXPECT_TRUE(other.forms().isEmpty());
    // A component the host destroys takes its windows with it.
    auto* third = new clsMain();
    third->initEnv(first.objectArray());
    third->ShowMainForm();
    QPointer<QWidget> thirdMain = third->loaded<frmMain>();
    delete third;
    EXPECT_TRUE(thirdMain.isNull());
}

TEST(Plugin, LoadsAndCreatesTheEntryClass)
{
    const QString path = qEnvironmentVariable("CORVAN_PLUGIN_DIR") + QStringLiteral("/libprjCorvan.so");
    QPluginLoader loader(path);
    EXPECT_EQ(loader.metaData().value(QStringLiteral("IID")).toString(), QStringLiteral("prjCorvan.clsMain"));
    auto* factory = qobject_cast<ComponentFactory*>(loader.instance());
    ASSERT_NE(factory, nullptr) << qPrintable(loader.errorString());
    QObject owner;
    Component* component = factory->createComponent(&owner);
    ASSERT_NE(component, nullptr);
    EXPECT_NE(dynamic_cast<clsMain*>(component), nullptr);
}

} // namespace
