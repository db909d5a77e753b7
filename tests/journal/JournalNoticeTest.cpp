// The journal's notice beside the real window: it takes neither the focus nor a click meant for
// the window ("Подключиться" pressed with the mouse right after it appeared), lies beside the
// window rather than over it, and closing the window ends the event loop with the notice up.
#include "main/NoticeWindow.h"
#include "runtime/Dialogs.h"
#include "tests/support/WindowFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

namespace {

class JournalNoticeTest : public LinkTest {
protected:
  void SetUp() override {
    LinkTest::SetUp();
    previous = SetNoticeHandler({});
    InstallNoticeWindow(QStringLiteral("TForm1"));
  }
  void TearDown() override {
    SetNoticeHandler(previous);
    LinkTest::TearDown();
  }
  QWidget *Notice() const { return form->findChild<QWidget *>(QStringLiteral("JournalNotice")); }

  NoticeHandler previous;
};

TEST_F(JournalNoticeTest, TakesNoClickNorFocusAndLiesBesideTheWindow) {
  form->show();
  QApplication::setActiveWindow(form.get());
  form->BitBtn9->setFocus();
  ShowNotice("Журнал станций не передается в базу данных завода");
  QWidget *notice = Notice();
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_FALSE(notice->frameGeometry().intersects(form->frameGeometry()));
  EXPECT_EQ(QApplication::activeWindow(), form.get());
  EXPECT_EQ(QApplication::focusWidget(), form->BitBtn9);
  // The technician's click goes where it was aimed.
  QTest::mouseClick(form->BitBtn9, Qt::LeftButton);
  EXPECT_TRUE(Connected());
  // A second notice joins the first window; none more appears.
  ShowNotice("Журнал станций снова передается в базу данных завода");
  EXPECT_EQ(form->findChildren<QWidget *>(QStringLiteral("JournalNotice")).size(), 1);
}

TEST_F(JournalNoticeTest, ClosingTheWindowEndsTheLoopWithTheNoticeUp) {
  form->show();
  ShowNotice("Журнал станций не записывается");
  ASSERT_TRUE(Notice() && Notice()->isVisible());
  bool ended = false;
  QTimer::singleShot(0, form.get(), [this] { form->close(); });
  QTimer guard;
  guard.setTimerType(Qt::PreciseTimer);
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(10000);
  QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &guard, [&ended] {
    ended = true;
    QCoreApplication::exit(0);
  });
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_TRUE(ended);
}

} // namespace
