#include "widgets/Motion.h"

#include "widgets/HoverScale.h"
#include "widgets/RevealSlot.h"
#include "widgets/SpringValue.h"
#include "widgets/SteppedMotion.h"
#include "widgets/ToggleMotion.h"

#include <QAccessible>
#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>
#include <memory>

namespace {

/// A style that turns widget animations off the way desktops do: a zero animation duration.
class StillStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_Widget_Animation_Duration)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

/// A painted patch of colour (painted, so Qt never takes it for an opaque child).
class Swatch final : public QWidget {
public:
    explicit Swatch(const QColor& colour) : m_colour(colour) {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

QWidget* block(const QColor& colour, int height)
{
    auto* widget = new Swatch(colour);
    widget->setFixedHeight(height);
    return widget;
}

bool reddish(const QColor& c)
{
    return c.red() > c.blue() + 40;
}
bool bluish(const QColor& c)
{
    return c.blue() > c.red() + 40;
}

} // namespace

// --- Switches and springs ---

TEST(MotionTest, EffectsOffOrAZeroDurationStyleStopEveryAnimation)
{
    SteppedMotion motion; // effects on
    QWidget plain;
    QWidget still;
    StillStyle style;
    still.setStyle(&style);
    EXPECT_TRUE(Motion::enabled(&plain));
    EXPECT_TRUE(Motion::enabled());
    EXPECT_FALSE(Motion::enabled(&still));
    QApplication::setEffectEnabled(Qt::UI_General, false);
    EXPECT_FALSE(Motion::enabled(&plain));
    EXPECT_FALSE(Motion::enabled());
}

TEST(MotionTest, TheProgramTurnsEffectsOnUnlessTheDesktopHasSaidOtherwise)
{
    SteppedMotion motion; // puts the effects back as they were
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    struct Row {
        const char* desktop;
        bool effectsBefore;
        bool effectsAfter;
    };
    const Row rows[] = {
        {"GNOME", false, true},       // Qt heard nothing from the desktop
        {"", false, true},            // nor here
        {"KDE", false, false},        // KDE's theme carries the user's setting
        {"ubuntu:KDE", false, false}, // wherever it stands in the list
        {"GNOME", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.desktop);
        qputenv("XDG_CURRENT_DESKTOP", row.desktop);
        QApplication::setEffectEnabled(Qt::UI_General, row.effectsBefore);
        Motion::adoptDesktopDefault();
        EXPECT_EQ(QApplication::isEffectEnabled(Qt::UI_General), row.effectsAfter);
    }
    if (desktop.isNull())
        qunsetenv("XDG_CURRENT_DESKTOP");
    else
        qputenv("XDG_CURRENT_DESKTOP", desktop);
}

TEST(MotionTest, SpringsStartWhereTheyAreAndSettleInTheirTime)
{
    struct Row {
        const char* name;
        Motion::Spring spring;
        bool overshoots;
    };
    const Row rows[] = {{"bouncy", {0.25, 0.6}, true}, {"critical", {0.5, 1.0}, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Motion::Spring& s = row.spring;
        EXPECT_DOUBLE_EQ(s.displacementAt(0, 1, 0), 1);
        EXPECT_DOUBLE_EQ(s.velocityAt(0, 1, 0), 0);
        EXPECT_DOUBLE_EQ(s.velocityAt(0, 0.5, -3), -3);
        // The velocity is the displacement's slope, also from a moving start.
        for (double t : {0.03, 0.1, 0.2}) {
            const double h = 1e-6;
            const double slope = (s.displacementAt(t + h, 0.5, -3) - s.displacementAt(t - h, 0.5, -3)) / (2 * h);
            EXPECT_NEAR(s.velocityAt(t, 0.5, -3), slope, 1e-4) << t;
        }
        double lowest = 1;
        for (int ms = 0; ms <= s.settleMs(); ++ms)
            lowest = std::min(lowest, s.displacementAt(ms / 1000.0, 1, 0));
        EXPECT_EQ(lowest < -0.05, row.overshoots) << lowest;
        EXPECT_LE(std::abs(s.displacementAt(s.settleMs() / 1000.0, 1, 0)), 0.001);
    }
}

TEST(MotionTest, ASpringValueRetargetsFromWhereItIsAndJumpsWithoutMotion)
{
    SteppedMotion motion;
    SpringValue value(1.0, {0.25, 0.6});
    value.setTarget(2.0, true);
    EXPECT_TRUE(value.isMoving());
    EXPECT_EQ(value.value(), 1.0);
    motion.advance(100);
    const qreal halfway = value.value();
    EXPECT_GT(halfway, 1.5);
    value.setTarget(1.0, true); // back, from where it is
    EXPECT_EQ(value.value(), halfway);
    motion.advance(1);
    EXPECT_NEAR(value.value(), halfway, 0.05); // still moving on at first: no jump
    motion.advance(Motion::Spring{0.25, 0.6}.settleMs());
    EXPECT_FALSE(value.isMoving());
    EXPECT_EQ(value.value(), 1.0);

    value.setTarget(3.0, false);
    EXPECT_FALSE(value.isMoving());
    EXPECT_EQ(value.value(), 3.0);
}

// --- RevealSlot ---

namespace {

/// A window holding a slot over a line edit: the slot's content is 100 px, a red half
/// (with a field to focus) over a blue half.
class RevealSlotTest : public ::testing::Test {
protected:
    static constexpr int kHeight = 100;

    void build(RevealSlot::Entrance entrance, bool open)
    {
        window = std::make_unique<QWidget>();
        window->setAutoFillBackground(true);
        window->setPalette(QPalette(Qt::white));
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        content = new QWidget;
        halves = new QVBoxLayout(content);
        halves->setContentsMargins(0, 0, 0, 0);
        halves->setSpacing(0);
        QWidget* red = block(Qt::red, kHeight / 2);
        auto* redRow = new QHBoxLayout(red);
        redRow->setContentsMargins(0, 0, 0, 0);
        field = new QLineEdit;
        field->setFixedWidth(80);
        redRow->addWidget(field);
        redRow->addStretch(1);
        halves->addWidget(red);
        halves->addWidget(block(Qt::blue, kHeight / 2));
        content->setVisible(open);
        slot = new RevealSlot(content, entrance, 200, window.get());
        layout->addWidget(slot);
        below = new QLineEdit;
        layout->addWidget(below);
        layout->addStretch(1);
        window->resize(300, 400);
        window->show();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        motion.advance(0);
    }

    /// The colour drawn in the slot's band, `y` pixels from its top (right of the field).
    QColor colourAt(int y) const { return window->grab().toImage().pixelColor(250, y); }
    static bool invisibleToScreenReaders(QWidget* widget)
    {
        return QAccessible::queryAccessibleInterface(widget)->state().invisible;
    }

    SteppedMotion motion; // first, so it outlives the window
    std::unique_ptr<QWidget> window;
    RevealSlot* slot = nullptr;
    QWidget* content = nullptr;
    QLineEdit* field = nullptr;
    QLineEdit* below = nullptr;
    QVBoxLayout* halves = nullptr;
};

} // namespace

TEST_F(RevealSlotTest, UnfoldsFromItsTopEdgeWithTheContentLiveAtOnce)
{
    build(RevealSlot::Entrance::unfold, false);
    EXPECT_FALSE(slot->isVisible());
    content->show();
    // The content is there for the keyboard and screen readers from the first moment.
    EXPECT_TRUE(field->isVisible());
    EXPECT_FALSE(invisibleToScreenReaders(field));
    field->setFocus();
    EXPECT_TRUE(field->hasFocus());
    motion.advance(0);
    EXPECT_TRUE(slot->isOpen());
    EXPECT_TRUE(slot->isMoving());
    EXPECT_EQ(slot->height(), 0);
    EXPECT_EQ(below->y(), 0);

    motion.advance(100);
    EXPECT_DOUBLE_EQ(slot->openness(), 0.5);
    EXPECT_EQ(slot->height(), 50);
    EXPECT_EQ(below->y(), 50); // what follows moves down with it
    EXPECT_EQ(slot->contentTop(), 0);
    EXPECT_EQ(content->height(), kHeight); // laid out whole, shown in part
    EXPECT_NEAR(slot->contentOpacity(), 0.5, 0.01);
    EXPECT_TRUE(reddish(colourAt(40))); // the top half shows first

    motion.advance(100);
    EXPECT_FALSE(slot->isMoving());
    EXPECT_EQ(slot->height(), kHeight);
    EXPECT_EQ(below->y(), kHeight);
    EXPECT_EQ(slot->contentOpacity(), 1.0);
    EXPECT_EQ(content->graphicsEffect(), nullptr); // drawn as it is at rest
    EXPECT_EQ(content->geometry(), slot->rect());
    EXPECT_TRUE(bluish(colourAt(75)));
}

TEST_F(RevealSlotTest, FoldsOverAPictureWhileFocusAndScreenReadersHaveMovedOn)
{
    build(RevealSlot::Entrance::unfold, true);
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    content->hide();
    EXPECT_FALSE(field->hasFocus());
    EXPECT_TRUE(invisibleToScreenReaders(field));
    motion.advance(0);
    EXPECT_FALSE(slot->isOpen());
    EXPECT_TRUE(slot->isDrawingPicture());
    EXPECT_EQ(slot->height(), kHeight);
    EXPECT_TRUE(bluish(colourAt(75)));

    motion.advance(100);
    EXPECT_EQ(slot->height(), 50);
    EXPECT_EQ(below->y(), 50);
    EXPECT_NEAR(slot->contentOpacity(), 0.5, 0.01);
    EXPECT_TRUE(reddish(colourAt(40))); // the picture's top half, fading

    motion.advance(100);
    EXPECT_FALSE(slot->isVisible());
    EXPECT_FALSE(slot->isDrawingPicture());
    EXPECT_EQ(below->y(), 0);
}

TEST_F(RevealSlotTest, SlidesInFromAboveAndOutTheSameWay)
{
    build(RevealSlot::Entrance::slideFromTop, false);
    content->show();
    motion.advance(100);
    EXPECT_EQ(slot->height(), 50);
    EXPECT_EQ(slot->contentTop(), -50); // its lower half has moved in
    EXPECT_TRUE(bluish(colourAt(25)));
    motion.advance(100);
    EXPECT_EQ(slot->contentTop(), 0);
    EXPECT_TRUE(reddish(colourAt(25)));

    content->hide();
    motion.advance(100);
    EXPECT_EQ(slot->height(), 50);
    EXPECT_TRUE(bluish(colourAt(25))); // the picture moves up and out
    motion.advance(100);
    EXPECT_FALSE(slot->isVisible());
}

TEST_F(RevealSlotTest, AskedBackMidWayItTurnsFromWhereItIs)
{
    build(RevealSlot::Entrance::unfold, false);
    content->show();
    motion.advance(30);
    const qreal at30 = slot->openness();
    motion.advance(50);
    const qreal at80 = slot->openness();
    ASSERT_GT(at80, at30);

    content->hide();
    EXPECT_EQ(slot->openness(), at80); // no jump
    EXPECT_TRUE(slot->isDrawingPicture());
    motion.advance(50);
    EXPECT_DOUBLE_EQ(slot->openness(), at30); // back the way it came
    motion.advance(29);
    EXPECT_TRUE(slot->isVisible()); // as long as it took to open so far, no longer
    motion.advance(1);
    EXPECT_FALSE(slot->isVisible());

    // And the other way: closing, asked to open again.
    content->show();
    motion.advance(200);
    content->hide();
    motion.advance(120);
    const qreal closing = slot->openness();
    content->show();
    EXPECT_FALSE(slot->isDrawingPicture());
    EXPECT_EQ(slot->openness(), closing);
    motion.advance(120);
    EXPECT_FALSE(slot->isMoving());
    EXPECT_EQ(slot->height(), kHeight);
}

TEST_F(RevealSlotTest, WithoutMotionOrOffScreenItOpensAndClosesAtOnce)
{
    enum class Still { effectsOff, zeroDurationStyle, windowHidden };
    const std::pair<const char*, Still> rows[] = {{"effects off", Still::effectsOff},
                                                  {"zero-duration style", Still::zeroDurationStyle},
                                                  {"window hidden", Still::windowHidden}};
    for (const auto& [name, still] : rows) {
        SCOPED_TRACE(name);
        build(RevealSlot::Entrance::slideFromTop, false);
        StillStyle style;
        if (still == Still::effectsOff)
            QApplication::setEffectEnabled(Qt::UI_General, false);
        if (still == Still::zeroDurationStyle)
            slot->setStyle(&style);
        if (still == Still::windowHidden)
            window->hide();
        content->show();
        EXPECT_FALSE(slot->isMoving());
        EXPECT_EQ(slot->openness(), 1.0);
        EXPECT_EQ(motion.moving(), 0);
        content->hide();
        EXPECT_FALSE(slot->isMoving());
        EXPECT_TRUE(slot->isHidden());
        EXPECT_FALSE(slot->isDrawingPicture());
        QApplication::setEffectEnabled(Qt::UI_General, true);
        window.reset();
    }
}

TEST_F(RevealSlotTest, ContentThatGrowsWhileOpenTakesTheRoomAtOnce)
{
    build(RevealSlot::Entrance::unfold, true);
    EXPECT_EQ(below->y(), kHeight);
    halves->addWidget(block(Qt::green, 40));
    motion.advance(0);
    EXPECT_EQ(slot->height(), kHeight + 40);
    EXPECT_EQ(below->y(), kHeight + 40);
    EXPECT_EQ(motion.moving(), 0);
}

// --- HoverScale ---

namespace {

class HoverScaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(50, 50, 50, 50);
        target = block(Qt::red, 40);
        layout->addWidget(target);
        hover = new HoverScale(target, 1.2, 200);
        window.resize(200, 140);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void send(QEvent::Type type)
    {
        QEvent event(type);
        QApplication::sendEvent(target, &event);
    }
    /// Whether the red widget is drawn `outside` pixels beyond its left edge.
    bool drawnBeyondItsEdge(int outside)
    {
        const QImage image = window.grab().toImage();
        return reddish(image.pixelColor(target->x() - outside, target->geometry().center().y()));
    }

    SteppedMotion motion;
    QWidget window;
    QWidget* target = nullptr;
    HoverScale* hover = nullptr;
};

} // namespace

TEST_F(HoverScaleTest, GrowsAboutItsCentreUnderThePointerAndBack)
{
    EXPECT_FALSE(drawnBeyondItsEdge(5));
    send(QEvent::Enter);
    EXPECT_TRUE(hover->isHovered());
    motion.advance(100);
    EXPECT_DOUBLE_EQ(hover->scale(), 1.1);
    motion.advance(100);
    EXPECT_DOUBLE_EQ(hover->scale(), 1.2);
    EXPECT_TRUE(drawnBeyondItsEdge(5)); // 100 px wide at 1.2: 10 px more each side
    EXPECT_FALSE(drawnBeyondItsEdge(12));
    EXPECT_EQ(target->geometry(), QRect(50, 50, 100, 40)); // the layout never sees it

    send(QEvent::Leave);
    motion.advance(200);
    EXPECT_EQ(hover->scale(), 1.0);
    EXPECT_EQ(target->graphicsEffect(), nullptr);
    EXPECT_FALSE(drawnBeyondItsEdge(5));
}

TEST_F(HoverScaleTest, LeavingMidWayTurnsBackAndWithoutMotionItJumps)
{
    send(QEvent::Enter);
    motion.advance(50);
    const qreal at50 = hover->scale();
    send(QEvent::Leave);
    EXPECT_EQ(hover->scale(), at50);
    motion.advance(50);
    EXPECT_EQ(hover->scale(), 1.0);
    EXPECT_FALSE(hover->motion().isMoving());

    QApplication::setEffectEnabled(Qt::UI_General, false);
    send(QEvent::Enter);
    EXPECT_EQ(hover->scale(), 1.2);
    send(QEvent::Leave);
    EXPECT_EQ(hover->scale(), 1.0);
}
