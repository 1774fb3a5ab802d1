#include "ui/widgets/CircularProgress.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "ui/widgets/ReflectionLabel.h"
#include "ui/widgets/SmoothProgressBar.h"

#include <QImage>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool near(QColor actual, QColor expected, int tolerance = 6)
{
    return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance;
}

int countPixels(const QImage& image, QRect area, const std::function<bool(QColor)>& match)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

bool reddish(QColor colour)
{
    return colour.alpha() > 100 && colour.red() > 180 && colour.green() < 90 && colour.blue() < 90;
}

// Paints a glow button in a state and reads the colours just inside its top and bottom edges.
class GlowButtonTest : public testing::Test {
protected:
    QImage paint() { return button.grab().toImage(); }
    QColor top(const QImage& image) { return image.pixelColor(10, 2); }
    QColor bottom(const QImage& image) { return image.pixelColor(10, image.height() - 2); }

    ui::GlowButton button{QStringLiteral("Spusť aktualizaci")};

    void SetUp() override { button.resize(200, 41); }
};

TEST_F(GlowButtonTest, DisabledIsFlatGreyAboveAndFadesFromGreyBelow)
{
    button.setEnabled(false);
    const QImage image = paint();
    EXPECT_EQ(button.currentLook(), ui::GlowButton::Look::Disabled);
    EXPECT_TRUE(near(top(image), QColor(0xF2F2F2))) << top(image).name().toStdString();
    EXPECT_TRUE(near(image.pixelColor(10, 21), QColor(0xB6B6B6), 10)) << image.pixelColor(10, 21).name().toStdString();
    EXPECT_TRUE(near(bottom(image), QColor(0xF2F2F2), 12)) << bottom(image).name().toStdString();
}

TEST_F(GlowButtonTest, PressedAndCheckedUseTheDownColours)
{
    button.setDown(true);
    QImage image = paint();
    EXPECT_TRUE(near(top(image), QColor(0xCAD8F5))) << top(image).name().toStdString();
    EXPECT_TRUE(near(bottom(image), QColor(0xDCDFFF), 12)) << bottom(image).name().toStdString();

    button.setDown(false);
    button.setCheckable(true);
    button.setChecked(true);
    image = paint();
    EXPECT_EQ(button.currentLook(), ui::GlowButton::Look::Down);
    EXPECT_TRUE(near(top(image), QColor(0xCAD8F5))) << top(image).name().toStdString();
}

TEST_F(GlowButtonTest, HoverUsesTheHotColoursAndNormalDiffers)
{
    const QImage normal = paint();
    button.setAttribute(Qt::WA_UnderMouse);
    const QImage hot = paint();
    EXPECT_EQ(button.currentLook(), ui::GlowButton::Look::Hot);
    EXPECT_TRUE(near(top(hot), QColor(0xE1F0F5))) << top(hot).name().toStdString();
    EXPECT_TRUE(near(bottom(hot), QColor(0xF4F8FF), 12)) << bottom(hot).name().toStdString();
    EXPECT_FALSE(near(top(normal), QColor(0xE1F0F5), 2));
}

TEST_F(GlowButtonTest, CaptionIsDrawnInItsFontColourWhileEnabled)
{
    QFont font = button.font();
    font.setPixelSize(16);
    font.setBold(true);
    button.setFont(font);
    EXPECT_EQ(countPixels(paint(), button.rect(), reddish), 0);

    button.setFontColor(QColor(0xFF0000));
    EXPECT_GT(countPixels(paint(), button.rect(), reddish), 20);

    button.setEnabled(false);
    EXPECT_EQ(countPixels(paint(), button.rect(), reddish), 0);
}

TEST(CircularProgress, AnimatesOnlyWhileStartedShownAndEnabled)
{
    QWidget window;
    window.resize(100, 100);
    auto* indicator = new ui::CircularProgress(&window);
    indicator->setGeometry(20, 20, 60, 60);
    indicator->hide();
    window.show();

    indicator->start();
    EXPECT_FALSE(indicator->isAnimating()) << "hidden";
    indicator->show();
    EXPECT_TRUE(indicator->isAnimating());
    EXPECT_EQ(indicator->interval(), 100);

    indicator->setEnabled(false);
    EXPECT_FALSE(indicator->isAnimating()) << "disabled";
    window.setEnabled(true);
    indicator->setEnabled(true);
    EXPECT_TRUE(indicator->isAnimating());

    window.hide();
    EXPECT_FALSE(indicator->isAnimating()) << "window hidden";
    window.show();
    EXPECT_TRUE(indicator->isAnimating());

    indicator->stop();
    EXPECT_FALSE(indicator->isAnimating());
    indicator->hide();
    indicator->show();
    EXPECT_FALSE(indicator->isAnimating()) << "stopped stays stopped when shown again";
}

TEST(CircularProgress, TicksMoveTheLitSegmentRoundTheRing)
{
    ui::CircularProgress indicator;
    indicator.resize(60, 60);
    indicator.show();
    QSignalSpy steps(&indicator, &ui::CircularProgress::advanced);
    const int before = indicator.position();
    indicator.start();
    ASSERT_TRUE(steps.wait(5000));
    EXPECT_EQ(steps.first().first().toInt(), (before + 1) % ui::CircularProgress::kSegments);
    EXPECT_EQ(indicator.segmentColor(indicator.position()), QColor(0x800040));
}

TEST(CircularProgress, RingShowsProgressTransitionActiveAndSilverSegments)
{
    ui::CircularProgress indicator;
    indicator.resize(60, 60);
    const QImage image = indicator.grab().toImage();
    // Position 0 is at twelve o'clock: the progress segment; the one before it (eleven o'clock)
    // is the transition segment; six o'clock is far behind and silver.
    EXPECT_TRUE(near(image.pixelColor(30, 5), QColor(0x800040), 10)) << image.pixelColor(30, 5).name().toStdString();
    EXPECT_TRUE(near(image.pixelColor(18, 10), QColor(0x0000A0), 12)) << image.pixelColor(18, 10).name().toStdString();
    EXPECT_TRUE(near(image.pixelColor(10, 18), QColor(0x9F9FFF), 12)) << image.pixelColor(10, 18).name().toStdString();
    EXPECT_TRUE(near(image.pixelColor(30, 53), QColor(0xC0C0C0), 10)) << image.pixelColor(30, 53).name().toStdString();
    EXPECT_EQ(image.pixelColor(30, 30).alpha(), 0) << "no background in the middle";
}

class ReflectionLabelTest : public testing::Test {
protected:
    QImage paint()
    {
        QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    static int strongest(const QImage& image, int fromRow, int toRow)
    {
        int alpha = 0;
        for (int y = fromRow; y < toRow; ++y)
            for (int x = 0; x < image.width(); ++x)
                alpha = std::max(alpha, image.pixelColor(x, y).alpha());
        return alpha;
    }

    ui::ReflectionLabel label;

    void SetUp() override
    {
        label.resize(209, 40);
        QFont font = label.font();
        font.setPixelSize(21);
        font.setBold(true);
        label.setFont(font);
        label.setMarkup(QStringLiteral(R"(<B>Kalmor <FONT color="#FF0000">DPH 2012</FONT></B>)"));
    }
};

TEST_F(ReflectionLabelTest, TextAboveWithRedPartAndAFainterMirrorBelow)
{
    const QImage image = paint();
    EXPECT_GT(countPixels(image, QRect(0, 0, 209, 20), reddish), 20) << "DPH 2012 in red";
    const int text = strongest(image, 0, 20);
    const int reflection = strongest(image, 21, 40);
    EXPECT_GT(text, 200);
    EXPECT_GT(reflection, 0) << "the reflection is drawn";
    EXPECT_LT(reflection, text / 2) << "and fainter than the text";
    EXPECT_GT(strongest(image, 21, 26), strongest(image, 34, 40)) << "fading away from the text";
}

TEST_F(ReflectionLabelTest, NoReflectionBandWhenItsHeightIsZero)
{
    label.setReflectionHeight(0);
    label.resize(209, 20);
    const QImage image = paint();
    EXPECT_GT(strongest(image, 0, 20), 200);
    label.resize(209, 40);
    EXPECT_EQ(strongest(paint(), 26, 40), 0);
}

TEST(OfficeRadioGroup, SelectionByIndexStaysExclusive)
{
    ui::OfficeRadioGroup group(QStringLiteral("Volba"), {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    EXPECT_EQ(group.itemIndex(), -1);
    group.setItemIndex(2);
    EXPECT_EQ(group.itemIndex(), 2);
    group.item(1)->click();
    EXPECT_EQ(group.itemIndex(), 1);
    EXPECT_FALSE(group.item(2)->isChecked());
    group.setItemIndex(-1);
    EXPECT_EQ(group.itemIndex(), -1);
    group.item(0)->click();
    group.item(2)->click();
    EXPECT_EQ(group.itemIndex(), 2);
    EXPECT_FALSE(group.item(0)->isChecked());
}

TEST(SmoothProgressBar, FillsItsShareInTheHighlightColour)
{
    ui::SmoothProgressBar bar;
    bar.resize(481, 17);
    bar.setMaximum(8);
    bar.setValue(2);
    const QImage image = bar.grab().toImage();
    const QColor highlight = bar.palette().color(QPalette::Highlight);
    EXPECT_TRUE(near(image.pixelColor(60, 8), highlight, 2));
    EXPECT_TRUE(near(image.pixelColor(200, 8), bar.palette().color(QPalette::Base), 2));
    EXPECT_FALSE(bar.isTextVisible());
}

} // namespace
