// The time ruler: its labels' steps, times and rows, and what it paints.
#include <gtest/gtest.h>

#include <QImage>
#include <climits>
#include <vector>

#include "views/TimeView.h"
#include "views/TimeViewGeometry.h"

using namespace TimeViewGeometry;

namespace {

// (row, time) of every label.
std::vector<std::pair<int, int64_t>> Placed(int start, int end, int height) {
    std::vector<std::pair<int, int64_t>> placed;
    for (const Label& label : Labels(start, end, LabelStep(start, end), height))
        placed.emplace_back(label.y, label.ms);
    return placed;
}

// Whether a pixel of rows [top, bottom) inside the frame is darker than the white ground.
bool InkIn(const QImage& image, int top, int bottom) {
    for (int y = top; y < bottom; ++y)
        for (int x = 1; x < image.width() - 1; ++x)
            if (image.pixelColor(x, y).lightness() < 200)
                return true;
    return false;
}

using Placements = std::vector<std::pair<int, int64_t>>;

}  // namespace

TEST(TimeViewLabels, AFifthOfTheWindowApartAtTheMultiplesOfTheStepAfterItsTop) {
    EXPECT_EQ(Placed(0, 5000, 300),
              Placements({{60, 1000}, {120, 2000}, {180, 3000}, {240, 4000}}));
    EXPECT_EQ(Placed(-2500, 2500, 300), Placements({{150, 0}, {210, 1000}, {270, 2000}}));
    EXPECT_EQ(Placed(2300, 7300, 300).front(), std::make_pair(42, int64_t{3000}));
    // Just before 0 the first label is 0, not a step later.
    EXPECT_EQ(FirstLabelTime(-300, 1000), 0);
    // Rows off whole pixels keep to their own times rather than drifting: 59.8, 119.6, ...
    EXPECT_EQ(Placed(0, 7000, 299).back(), std::make_pair(239, int64_t{5600}));
    EXPECT_EQ(LabelText(61005), "1:01:005");
    EXPECT_EQ(LabelText(6000000), "100:00:000");
}

TEST(TimeViewLabels, AWindowShorterThanFiveMillisecondsStepsByOneAndAnEmptyOneHasNone) {
    EXPECT_EQ(LabelStep(10, 13), 1);
    EXPECT_EQ(Placed(10, 13, 300), Placements({{100, 11}, {200, 12}}));
    EXPECT_TRUE(Placed(10, 10, 300).empty());
    EXPECT_TRUE(Placed(10, 0, 300).empty());
    EXPECT_EQ(Placed(INT_MAX - 3, INT_MAX, 300).size(), 2u);  // no overflow past the end
}

TEST(TimeView, StartsAtMinus100To100AndPaintsTheFirstLabelOfMinus2500To2500AtTheMiddle) {
    TimeView ruler;
    EXPECT_EQ(ruler.font().pointSize(), 6);
    EXPECT_EQ(std::vector<int>({ruler.Start(), ruler.End(), ruler.Step()}),
              std::vector<int>({-100, 100, 30}));
    ruler.resize(58, 300);
    ruler.SetTimeRange(-2500, 2500);
    EXPECT_EQ(ruler.Step(), 1000);
    const QImage image = ruler.grab().toImage();
    EXPECT_EQ(image.pixelColor(0, 0), QColor(250, 250, 250));
    EXPECT_EQ(image.pixelColor(57, 299), QColor(20, 20, 20));
    const int line = ruler.fontMetrics().height();
    EXPECT_FALSE(InkIn(image, 1, 150));
    EXPECT_TRUE(InkIn(image, 150, 150 + line));

    ruler.SetTimeRange(0, 3);  // paints, and returns
    EXPECT_TRUE(InkIn(ruler.grab().toImage(), 100, 100 + line));
}
