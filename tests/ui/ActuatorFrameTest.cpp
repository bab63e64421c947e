#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "ui/AboutFM.h"
#include "ui/ActuatorFR.h"

namespace vantrel {
namespace {

// A part of a frame or box by its name, as the language files name it.
template <class T>
T* part(QObject& owner, const char* name) {
    T* child = owner.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

TEST(ActuatorFrame, EnterInTheValueBoxPressesSetAndNothingElse) {
    TfrActuator frame;
    int sets = 0;
    int clears = 0;
    QObject::connect(&frame, &TfrActuator::setClicked, [&](TfrActuator* f) {
        EXPECT_EQ(f, &frame);
        ++sets;
    });
    QObject::connect(&frame, &TfrActuator::clearClicked, [&](TfrActuator*) { ++clears; });

    part<QLineEdit>(frame, "edState")->setText("120");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(part<QLineEdit>(frame, "edState"), &press);
    EXPECT_EQ(sets, 1);
    EXPECT_EQ(clears, 0);

    part<QToolButton>(frame, "bbClear")->click();
    EXPECT_EQ(clears, 1);
    EXPECT_EQ(sets, 1);
    EXPECT_EQ(frame.ValueText(), "120");
}

TEST(ActuatorFrame, ShowsAtMostOneArrowAndKeepsTheIdHidden) {
    TfrActuator frame;
    frame.SetId("M0");
    frame.show();
    EXPECT_FALSE(part<QLabel>(frame, "lbId")->isVisible());
    EXPECT_EQ(frame.Id(), "M0");

    frame.SetDirection(true, false);
    EXPECT_TRUE(frame.ForwardVisible());
    EXPECT_FALSE(frame.BackwardVisible());
    frame.SetDirection(false, true);
    EXPECT_FALSE(frame.ForwardVisible());
    EXPECT_TRUE(frame.BackwardVisible());
    // Contradictory input must not show both pictures at once.
    frame.SetDirection(true, true);
    EXPECT_NE(frame.ForwardVisible(), frame.BackwardVisible());
    frame.SetDirection(false, false);
    EXPECT_FALSE(frame.ForwardVisible());
    EXPECT_FALSE(frame.BackwardVisible());

    EXPECT_TRUE(part<QToolButton>(frame, "bbSet")->text().isEmpty());
    EXPECT_TRUE(part<QToolButton>(frame, "bbClear")->text().isEmpty());
    EXPECT_FALSE(part<QToolButton>(frame, "bbSet")->icon().isNull());
    EXPECT_EQ(frame.size(), QSize(TfrActuator::kWidth, TfrActuator::kHeight));
}

TEST(AboutBox, ShowsTheBuildsNameVersionAndCopyright) {
    TfmAbout about;
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("О программе..."));
    EXPECT_EQ(part<QLabel>(about, "lbFileName")->text(), "Vantrel");
    EXPECT_TRUE(part<QLabel>(about, "lbVersion")->text().endsWith(VANTREL_VERSION));
    EXPECT_TRUE(part<QLabel>(about, "lbVersion")->text().startsWith(QString::fromUtf8("Версия: ")));
    EXPECT_FALSE(part<QLabel>(about, "lbCopyright")->text().isEmpty());
    EXPECT_TRUE(part<QPushButton>(about, "btnOK")->isDefault());
    EXPECT_EQ(about.size(), QSize(TfmAbout::kWidth, TfmAbout::kHeight));
}

}  // namespace
}  // namespace vantrel
