// The time ruler: its labels' steps, times and rows, and what it paints.
#include <gtest/gtest.h>

#include <QImage>
#include <climits>
#include <vector>

#include "views/TimeView.h"
#include "views/TimeViewGeometry.h"

using namespace TimeViewGeometry;

namespace {

std::vector<int64_t> Times(const std::vector<Label>& labels) {
    std::vector<int64_t> times;
    for (const Label& label : labels)
        times.push_back(label.ms);
    return times;
}

std::vector<int> Rows(const std::vector<Label>& labels) {
    std::vector<int> rows;
    for (const Label& label : labels)
        rows.push_back(label.y);
    return rows;
}

// Whether any pixel of rows [top, bottom) inside the frame is darker than the white ground.
bool InkIn(const QImage& image, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = 1; x < image.width() - 1; ++x)
            if (image.pixelColor(x, y).lightness() < 200)
                return true;
    return false;
}

}  // namespace

TEST(TimeViewLabels, AFifthOfTheWindowApartAtTheMultiplesOfTheStepAfterItsTop) {
    EXPECT_EQ(LabelStep(0, 5000), 1000);
    EXPECT_EQ(LabelStep(-2500, 2500), 1000);
    EXPECT_EQ(LabelStep(0, 1280000), 256000);
    EXPECT_EQ(LabelStep(0, 52), 10);  // integer division

    // A 5000 ms window labels every 1000 ms; the top itself is not labelled.
    EXPECT_EQ(Times(Labels(0, 5000, 1000, 300)), std::vector<int64_t>({1000, 2000, 3000, 4000}));
    EXPECT_EQ(Rows(Labels(0, 5000, 1000, 300)), std::vector<int>({60, 120, 180, 240}));
    EXPECT_EQ(Times(Labels(2300, 7300, 1000, 300)),
              std::vector<int64_t>({3000, 4000, 5000, 6000, 7000}));
    // Nothing before the track's start: -2500 ... 2500 starts with 0 at the middle row.
    EXPECT_EQ(Times(Labels(-2500, 2500, 1000, 300)), std::vector<int64_t>({0, 1000, 2000}));
    EXPECT_EQ(Rows(Labels(-2500, 2500, 1000, 300)), std::vector<int>({150, 210, 270}));
    // Just before 0 the first label is 0 as well, not a step later.
    EXPECT_EQ(FirstLabelTime(-300, 1000), 0);
    EXPECT_EQ(FirstLabelTime(-1000, 1000), 0);
    EXPECT_EQ(FirstLabelTime(-999, 1000), 0);
    EXPECT_EQ(FirstLabelTime(1, 1000), 1000);
    // Rows that do not fall on whole pixels keep to their own times rather than drifting.
    EXPECT_EQ(Rows(Labels(0, 7000, 1400, 299)), std::vector<int>({59, 119, 179, 239}));

    EXPECT_EQ(LabelText(0), "0:00:000");
    EXPECT_EQ(LabelText(61005), "1:01:005");
    EXPECT_EQ(LabelText(6000000), "100:00:000");
}

TEST(TimeViewLabels, AWindowShorterThanFiveMillisecondsStepsByOneAndAnEmptyOneHasNoLabels) {
    EXPECT_EQ(LabelStep(10, 13), 1);
    EXPECT_EQ(LabelStep(10, 10), 1);
    EXPECT_EQ(LabelStep(10, 0), 1);
    EXPECT_EQ(Times(Labels(10, 13, 1, 300)), std::vector<int64_t>({11, 12}));
    EXPECT_EQ(Rows(Labels(10, 13, 1, 300)), std::vector<int>({100, 200}));
    EXPECT_TRUE(Labels(10, 10, 1, 300).empty());
    EXPECT_TRUE(Labels(10, 0, 1, 300).empty());
    // At the far end of the int range the step stops at the end instead of overflowing.
    EXPECT_EQ(Times(Labels(INT_MAX - 3, INT_MAX, 1, 300)),
              std::vector<int64_t>({INT_MAX - 2, INT_MAX - 1}));
}

TEST(TimeView, StartsAtMinus100To100AndLabelsFromTheMiddleForMinus2500To2500) {
    TimeView ruler;
    EXPECT_EQ(ruler.objectName(), "TimeView");
    EXPECT_EQ(ruler.font().pointSize(), 6);
    EXPECT_EQ(std::vector<int>({ruler.Start(), ruler.End(), ruler.Step()}),
              std::vector<int>({-100, 100, 30}));

    ruler.resize(58, 300);
    ruler.SetTimeRange(-2500, 2500);
    EXPECT_EQ(ruler.Step(), 1000);
    const QImage image = ruler.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(57, 299), QColor(20, 20, 20));
    EXPECT_EQ(image.pixelColor(0, 299), QColor(20, 20, 20));
    EXPECT_EQ(image.pixelColor(30, 100), QColor(Qt::white));
    // The upper half (before the track) is bare; the first label stands just below the middle.
    EXPECT_FALSE(InkIn(image, 1, 150));
    EXPECT_TRUE(InkIn(image, 150, 150 + ruler.fontMetrics().height()));
    EXPECT_TRUE(InkIn(image, 210, 210 + ruler.fontMetrics().height()));

    // A window of 3 ms paints (and returns) with a step of 1 ms.
    ruler.SetTimeRange(0, 3);
    EXPECT_EQ(ruler.Step(), 1);
    EXPECT_TRUE(InkIn(ruler.grab().toImage(), 100, 100 + ruler.fontMetrics().height()));
}
