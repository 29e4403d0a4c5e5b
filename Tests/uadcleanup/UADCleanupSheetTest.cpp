#include "uadcleanup/ui/UADCleanupSheet.h"

#include "uadcleanup/UADCleanupFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <future>
#include <thread>

namespace {

UADPluginAuth entry(const QString& name, UADAuthStatus status, bool alreadyDisabled = false)
{
    UADPluginAuth e;
    e.id = QUuid::createUuid();
    e.name = name;
    e.status = status;
    e.isAlreadyDisabled = alreadyDisabled;
    e.isSelected = !alreadyDisabled;
    return e;
}

} // namespace

class UADCleanupSheetTest : public UADCleanupTest {
protected:
    void TearDown() override
    {
        m_sheet.reset();
        UADCleanupTest::TearDown();
    }

    UADCleanupSheet& sheet()
    {
        if (!m_sheet) {
            m_sheet = std::make_unique<UADCleanupSheet>(manager(), vm());
            m_sheet->resize(520, 500);
        }
        return *m_sheet;
    }

    /// The profile read into the manager over the fixture catalogue, and the sheet over it.
    void openOverCatalogue(bool onDisk = false)
    {
        seed(uadCatalogue(), onDisk);
        writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
        manager().retryWithExistingProfile();
        ASSERT_TRUE(settle());
        sheet().show();
    }

    QUuid idOf(const QString& name)
    {
        for (const UADPluginAuth& e : manager().demoPlugins()) {
            if (e.name == name)
                return e.id;
        }
        return {};
    }

private:
    std::unique_ptr<UADCleanupSheet> m_sheet;
};

// --- States ---

TEST_F(UADCleanupSheetTest, ShowsTheStateThePublishedPropertiesCallFor)
{
    using State = UADCleanupSheet::State;
    const UADPluginAuth open = entry(QStringLiteral("A"), UADAuthStatus::expired());
    const UADPluginAuth off = entry(QStringLiteral("B"), UADAuthStatus::expired(), true);
    const struct {
        const char* label;
        bool loading;
        bool complete;
        std::optional<QString> message;
        QList<UADPluginAuth> demos;
        State state;
    } cases[] = {
        {"loading wins", true, true, QStringLiteral("x"), {open}, State::loading},
        {"a completed disable keeps its state over a message",
         false,
         true,
         QStringLiteral("x"),
         {open},
         State::complete},
        {"a message", false, false, QStringLiteral("Something failed"), {open}, State::error},
        {"only already-disabled entries", false, false, std::nullopt, {off}, State::empty},
        {"no entries", false, false, std::nullopt, {}, State::empty},
        {"entries to choose from", false, false, std::nullopt, {off, open}, State::list},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        UADCleanupManagerTestAccess::set(manager(), c.loading, c.complete, c.message, c.demos);
        EXPECT_EQ(sheet().state(), c.state);
    }
    UADCleanupManagerTestAccess::set(manager(), false, false, QStringLiteral("Something failed"), {});
    EXPECT_EQ(sheet().messageLabel()->text(), QStringLiteral("Something failed"));
}

TEST_F(UADCleanupSheetTest, ALongErrorIsShownWholeWithItsButtons)
{
    // As a batch reports items it could not move.
    QStringList threeItems{QStringLiteral("Unknown error: 3 of 3 plug-ins were not changed:")};
    for (const char* name : {"Pultec EQP-1A", "Lexicon 224", "Fairchild 670"})
        threeItems.append(
            QStringLiteral("\"UAD %1\" (VST3): not moved; it is still at /Library/Audio/Plug-Ins/VST3/UAD %1.vst3 "
                           "(mv: cannot move '/Library/Audio/Plug-Ins/VST3/UAD %1.vst3' to "
                           "'/Library/Audio/Plug-Ins/Disabled/VST3/UAD %1.vst3': Permission denied)")
                .arg(QString::fromLatin1(name)));
    QStringList manyLines;
    for (int i = 1; i <= 40; ++i)
        manyLines.append(QStringLiteral("Line %1 of a long failure report").arg(i));
    const struct {
        const char* label;
        QString message;
    } cases[] = {
        {"a three-item failure", threeItems.join(u'\n')},
        {"forty lines", manyLines.join(u'\n')},
    };
    sheet().show();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        UADCleanupManagerTestAccess::set(manager(), false, false, c.message, {});
        QCoreApplication::processEvents();
        ASSERT_EQ(sheet().state(), UADCleanupSheet::State::error);
        QLabel* label = sheet().messageLabel();
        // The label is tall enough for every line of its text...
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        // ...and every part of it can be brought into view: it lies inside the sheet, or
        // inside a scroll area that reaches its last line.
        const QRect inSheet(label->mapTo(&sheet(), QPoint(0, 0)), label->size());
        QScrollArea* scroll = nullptr;
        for (QWidget* w = label->parentWidget(); w && !scroll; w = w->parentWidget())
            scroll = qobject_cast<QScrollArea*>(w);
        if (scroll) {
            const int reach = scroll->verticalScrollBar()->maximum() + scroll->viewport()->height();
            EXPECT_GE(reach, label->mapTo(scroll->widget(), QPoint(0, label->height())).y());
            // What only scrolling shows, the keyboard can scroll to.
            if (scroll->verticalScrollBar()->maximum() > 0) {
                EXPECT_TRUE(scroll->focusPolicy() & Qt::TabFocus);
                EXPECT_FALSE(scroll->accessibleName().isEmpty());
            }
        } else {
            EXPECT_TRUE(sheet().rect().contains(inSheet)) << inSheet.bottom();
        }
        for (QPushButton* button : QList<QPushButton*>{sheet().tryAgainButton(), sheet().errorCancelButton()}) {
            const QRect r(button->mapTo(&sheet(), QPoint(0, 0)), button->size());
            EXPECT_TRUE(sheet().rect().contains(r)) << button->text().toStdString();
            EXPECT_GE(button->height(), button->sizeHint().height());
        }
    }
}

TEST_F(UADCleanupSheetTest, MatchingRunsOffTheGuiThreadWhileTheSheetShowsLoading)
{
    seed(uadCatalogue());
    writeProfile(QStringLiteral("/Desktop"), QStringLiteral("UADSystemProfile.txt"), profileText());
    std::promise<void> gate;
    const std::shared_future<void> opened = gate.get_future().share();
    bool released = false;
    const auto release = qScopeGuard([&] {
        if (!released)
            gate.set_value();
    });
    std::atomic<bool> held{false};
    const std::thread::id guiThread = std::this_thread::get_id();
    std::thread::id matchingThread;
    manager().setMatchingHook([&] {
        matchingThread = std::this_thread::get_id();
        held = true;
        // Held only off the GUI thread: matching on it would wait for itself.
        if (matchingThread != guiThread)
            opened.wait();
    });
    sheet().show();
    manager().retryWithExistingProfile();
    QDeadlineTimer deadline(10000);
    while (!held && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_TRUE(held);

    // The window goes on answering while the matching is held.
    bool answered = false;
    QTimer::singleShot(0, &sheet(), [&answered] { answered = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(answered);
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::loading);
    EXPECT_NE(matchingThread, guiThread);

    released = true;
    gate.set_value();
    ASSERT_TRUE(settle());
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::list);
    EXPECT_EQ(manager().demoPlugins().size(), 4);
}

TEST_F(UADCleanupSheetTest, CountTextsAndButtonTitles)
{
    EXPECT_EQ(UADCleanupSheet::completionText(1), QStringLiteral("1 demo plugin disabled"));
    EXPECT_EQ(UADCleanupSheet::completionText(0), QStringLiteral("0 demo plugins disabled"));
    EXPECT_EQ(UADCleanupSheet::completionText(3), QStringLiteral("3 demo plugins disabled"));
    EXPECT_EQ(UADCleanupSheet::disableTitle(1), QStringLiteral("Disable 1 Plugins"));
    EXPECT_EQ(UADCleanupSheet::selectionText(2), QStringLiteral("2 selected"));
    EXPECT_EQ(UADCleanupSheet::footerText(2, 1), QStringLiteral("2 authorized · 1 already off"));
}

TEST_F(UADCleanupSheetTest, ListsSectionsRowsAndFooterOfAProfile)
{
    openOverCatalogue();
    ASSERT_EQ(sheet().state(), UADCleanupSheet::State::list);
    EXPECT_EQ(sheet().sectionTitles(),
              (QStringList{"Demo Expired — no longer usable", "Active Demo — still playable but not owned",
                           "Demo Not Started — never owned or trialed", "Already disabled"}));
    EXPECT_EQ(sheet().footerLabel()->text(), QStringLiteral("2 authorized · 1 already off"));
    EXPECT_EQ(sheet().selectionLabel()->text(), QStringLiteral("3 selected"));
    EXPECT_EQ(sheet().disableButton()->text(), QStringLiteral("Disable 3 Plugins"));
    EXPECT_TRUE(sheet().disableButton()->isEnabled());
    EXPECT_FALSE(sheet().expiredOnlyButton()->isHidden());

    // Tapping a row toggles its mark; already-disabled rows take no taps.
    QAbstractButton* pultec = sheet().row(idOf(QStringLiteral("Pultec EQP-1A")));
    ASSERT_NE(pultec, nullptr);
    EXPECT_TRUE(pultec->isChecked());
    QTest::mouseClick(pultec, Qt::LeftButton);
    EXPECT_FALSE(pultec->isChecked());
    EXPECT_EQ(sheet().selectionLabel()->text(), QStringLiteral("2 selected"));
    EXPECT_EQ(sheet().row(idOf(QStringLiteral("Fairchild 670"))), nullptr);
    EXPECT_NE(sheet().disabledRow(idOf(QStringLiteral("Fairchild 670"))), nullptr);

    // The keyboard reaches the same toggle, and the row keeps its focus.
    pultec->setFocus();
    QTest::keyClick(pultec, Qt::Key_Space);
    EXPECT_TRUE(pultec->isChecked());
    EXPECT_EQ(sheet().row(idOf(QStringLiteral("Pultec EQP-1A"))), pultec);

    QTest::mouseClick(sheet().noneButton(), Qt::LeftButton);
    EXPECT_EQ(sheet().disableButton()->text(), QStringLiteral("Disable 0 Plugins"));
    EXPECT_FALSE(sheet().disableButton()->isEnabled());
    QTest::mouseClick(sheet().allDemosButton(), Qt::LeftButton);
    EXPECT_EQ(manager().selectedCount(), 3);
    QTest::mouseClick(sheet().expiredOnlyButton(), Qt::LeftButton);
    EXPECT_EQ(sheet().selectionLabel()->text(), QStringLiteral("1 selected"));
}

TEST_F(UADCleanupSheetTest, ExpiredOnlyDisappearsWhenEveryExpiredEntryIsOff)
{
    UADCleanupManagerTestAccess::set(manager(), false, false, std::nullopt,
                                     {entry(QStringLiteral("A"), UADAuthStatus::expired(), true),
                                      entry(QStringLiteral("B"), UADAuthStatus::demo(3))});
    sheet().show();
    EXPECT_TRUE(sheet().expiredOnlyButton()->isHidden());
    EXPECT_EQ(sheet().sectionTitles(), (QStringList{"Active Demo — still playable but not owned", "Already disabled"}));
}

TEST_F(UADCleanupSheetTest, EveryCloseActionLowersTheSheetFlag)
{
    UADCleanupManagerTestAccess::set(manager(), false, true, std::nullopt, {});
    manager().setShowCleanupSheet(true);
    QTest::mouseClick(sheet().doneButton(), Qt::LeftButton);
    EXPECT_FALSE(manager().showCleanupSheet());
    EXPECT_TRUE(manager().cleanupComplete());

    const QList<QAbstractButton*> closers{sheet().closeButton(), sheet().errorCancelButton(), sheet().cancelButton()};
    for (QAbstractButton* button : closers) {
        manager().setShowCleanupSheet(true);
        button->click();
        EXPECT_FALSE(manager().showCleanupSheet());
    }
    EXPECT_EQ(sheet().closeButton()->accessibleName(), QStringLiteral("Close"));
    EXPECT_NE(sheet().closeButton()->focusPolicy() & Qt::TabFocus, 0);
}

// --- Disabling the selected demos ---

TEST_F(UADCleanupSheetTest, DisablesTheSelectedDemosInOneBatch)
{
    openOverCatalogue(true);
    useSandboxRunner();
    // The Fairchild, already off, joins the selection: it is counted but not moved again.
    manager().toggleSelection(manager().demoPlugins().at(1));
    const QList<AudioPlugin> catalogue = db().queryPlugins({.sortColumn = QStringLiteral("name"), .limit = -1});
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::loading);
    ASSERT_TRUE(settle());

    EXPECT_EQ(sandboxRunner->commands().size(), 1);
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::complete);
    // Three Pultec rows and the Lexicon went off, the Fairchild was off; the Studer had none.
    EXPECT_EQ(manager().disabledCount(), 5);
    EXPECT_EQ(sheet().completionLabel()->text(), QStringLiteral("5 demo plugins disabled"));
    for (const AudioPlugin& plugin : catalogue) {
        SCOPED_TRACE(plugin.name.toStdString());
        const bool demo =
            plugin.name.startsWith(QStringLiteral("UAD Pultec")) || plugin.name == QStringLiteral("UAD Lexicon 224");
        EXPECT_EQ(isEnabledInCatalogue(plugin), !demo && plugin.isEnabled);
    }
}

TEST_F(UADCleanupSheetTest, ARefusedPasswordPromptEndsInTheErrorState)
{
    openOverCatalogue(true);
    recorder->enqueue(RecordingRunner::failure(QStringLiteral("Request dismissed"), 126));
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());

    EXPECT_EQ(recorder->commands().size(), 1);
    EXPECT_FALSE(manager().cleanupComplete());
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::error);
    ASSERT_TRUE(vm().error().has_value());
    EXPECT_EQ(manager().errorMessage(), vm().error()->errorDescription());
    EXPECT_EQ(db().totalDisabledCount(), 1); // the Fairchild, off from the start
}

TEST_F(UADCleanupSheetTest, ASecondBatchIsJudgedByItsOwnOutcome)
{
    openOverCatalogue(true);
    recorder->enqueue(RecordingRunner::failure(QStringLiteral("Request dismissed"), 126));
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());
    ASSERT_EQ(sheet().state(), UADCleanupSheet::State::error);

    // Try Again reads the profile anew; this time the password is given and both bundles move.
    QTest::mouseClick(sheet().tryAgainButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());
    ASSERT_EQ(sheet().state(), UADCleanupSheet::State::list);
    manager().deselectAll();
    manager().toggleSelection(manager().demoPlugins().at(2)); // the Lexicon: one row
    manager().toggleSelection(manager().demoPlugins().at(0)); // the Pultec: three rows
    useSandboxRunner();
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sandboxRunner->commands().size(), 1);
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::complete);
    EXPECT_EQ(manager().disabledCount(), 4);
    EXPECT_EQ(db().totalDisabledCount(), 5);
}

TEST_F(UADCleanupSheetTest, ABatchThatMovesNothingIsNoSuccess)
{
    // The runner reports success, but no bundle moved (the recording runner runs nothing).
    openOverCatalogue(true);
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_EQ(recorder->commands().size(), 1);
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::error);
    EXPECT_FALSE(manager().cleanupComplete());
    EXPECT_EQ(db().totalDisabledCount(), 1);
}

TEST_F(UADCleanupSheetTest, SelectedRowsThatAreAllOffCompleteWithoutABatch)
{
    openOverCatalogue();
    manager().deselectAll();
    manager().toggleSelection(manager().demoPlugins().at(1)); // the Fairchild, already off
    QTest::mouseClick(sheet().disableButton(), Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(recorder->commands().isEmpty());
    EXPECT_EQ(sheet().state(), UADCleanupSheet::State::complete);
    EXPECT_EQ(manager().disabledCount(), 1);
}

TEST_F(UADCleanupSheetTest, UnmatchedSelectionsSayWhyAfterOneRescanAtMost)
{
    const struct {
        const char* label;
        QList<AudioPlugin> catalogue;
        int scans;
        const char* message;
    } cases[] = {
        {"a catalogue with UAD rows is not rescanned",
         {record(QStringLiteral("UAD Other Thing"))},
         0,
         UADCleanupManager::kNotMatchedMessage},
        {"a catalogue by the vendor's name counts too",
         {record(QStringLiteral("Other Thing"), true, QStringLiteral("Universal Audio, Inc."))},
         0,
         UADCleanupManager::kNotMatchedMessage},
        {"a catalogue without UAD rows is rescanned once",
         {record(QStringLiteral("Other Thing"), true, QStringLiteral("Acme"))},
         1,
         UADCleanupManager::kNoUADPluginsMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        seed(c.catalogue);
        UADCleanupManagerTestAccess::set(manager(), false, false, std::nullopt,
                                         {entry(QStringLiteral("Studer A800"), UADAuthStatus::demoNotStarted())});
        QSignalSpy loading(&vm(), &PluginManagerViewModel::isLoadingChanged);
        manager().disableSelectedUADDemos(vm());
        ASSERT_TRUE(settle());
        EXPECT_EQ(loading.size(), 2 * c.scans);
        EXPECT_EQ(manager().errorMessage(), QString::fromUtf8(c.message));
        EXPECT_TRUE(recorder->commands().isEmpty());
    }
}

TEST_F(UADCleanupSheetTest, TabFollowsTheLayoutRowsBeforeTheFooter)
{
    openOverCatalogue();
    sheet().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet()));
    const auto tabOrder = [this] {
        QStringList order;
        sheet().closeButton()->setFocus();
        for (QWidget* focus = QApplication::focusWidget(); focus && order.size() < 20;) {
            order.append(focus->accessibleName().isEmpty() ? focus->property("text").toString()
                                                           : focus->accessibleName());
            QTest::keyClick(focus, Qt::Key_Tab);
            focus = QApplication::focusWidget();
            if (focus == sheet().closeButton())
                break;
        }
        return order;
    };
    const QStringList expected{
        QStringLiteral("Close"),       QStringLiteral("Expired Only"),  QStringLiteral("All Demos"),
        QStringLiteral("None"),        QStringLiteral("Pultec EQP-1A"), QStringLiteral("Lexicon 224 Digital Reverb"),
        QStringLiteral("Studer A800"), QStringLiteral("Cancel"),        QStringLiteral("Disable 3 Plugins")};
    EXPECT_EQ(tabOrder(), expected);

    // Rows built again for a new profile take their place in the order too.
    manager().retryWithExistingProfile();
    ASSERT_TRUE(settle());
    EXPECT_EQ(tabOrder(), expected);
}

TEST_F(UADCleanupSheetTest, EveryControlHasANameAndKeyboardReach)
{
    openOverCatalogue();
    const QList<QAbstractButton*> buttons = sheet().findChildren<QAbstractButton*>();
    ASSERT_GE(buttons.size(), 12);
    for (const QAbstractButton* button : buttons) {
        const QString name = button->accessibleName().isEmpty() ? button->text() : button->accessibleName();
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(name.isEmpty());
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    }
}
