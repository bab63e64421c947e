#include "run/Selection.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "run/RunData.h"

namespace vantrel {
namespace {

tRunData runOfTimes(std::initializer_list<double> times) {
    tRunData run;
    run.Start({});
    for (double t : times) {
        run.Add(t, {static_cast<float>(t), 7.0f, 100.0f, 0.5f, 0.0f, 0.0f, 0.0f});
    }
    return run;
}

// What the exports, the statistics and the fits take: from the time origin
// to the cursor, whichever comes first, the run's ends standing in for a
// missing one; an index outside the run counts as none.
TEST(Selection, TheStretchRunsFromTheOriginToTheCursorInEitherOrder) {
    const tRunData run = runOfTimes({0, 1, 2, 3, 4});
    const std::optional<std::size_t> none;
    struct tCase {
        const char* name;
        std::optional<std::size_t> origin, cursor;
        std::size_t first, last;
        bool inspected;
    };
    for (const tCase& c :
         {tCase{"nothing chosen", none, none, 0, 4, false},
          tCase{"an origin only", 1, none, 1, 4, false},
          tCase{"a cursor only", none, 3, 0, 3, true}, tCase{"both", 1, 3, 1, 3, true},
          tCase{"the cursor before the origin", 3, 1, 1, 3, true},
          tCase{"an origin past the run", 9, 2, 0, 2, true},
          tCase{"a cursor past the run", 2, 9, 2, 4, false}}) {
        SCOPED_TRACE(c.name);
        tSelection selection;
        selection.SetOrigin(c.origin);
        selection.SetCursor(c.cursor);
        const tIndexRange stretch = selection.Stretch(run);
        EXPECT_EQ(stretch.first, c.first);
        EXPECT_EQ(stretch.last, c.last);
        const std::optional<tIndexRange> inspected = selection.InspectedStretch(run);
        ASSERT_EQ(inspected.has_value(), c.inspected);
        if (inspected) {
            EXPECT_EQ(inspected->first, c.first);
            EXPECT_EQ(inspected->last, c.last);
        }
    }
    const tIndexRange empty = tSelection().Stretch(tRunData());
    EXPECT_GT(empty.first, empty.last) << "an empty run has no records to take";
}

TEST(Selection, ChosenRecordsStayWithTheirRecordsUntilTheNextRun) {
    tRunData run = runOfTimes({1, 2, 3});
    tSelection selection;
    EXPECT_TRUE(selection.ToggleMark(1, run));
    EXPECT_TRUE(selection.ToggleMark(2, run));
    EXPECT_FALSE(selection.ToggleMark(3, run)) << "outside the run";
    selection.SetCursor(2);
    // An older record is put in place before them.
    selection.RecordInserted(run.Add(1.5, {}));
    EXPECT_EQ(selection.Marks(), (std::set<std::size_t>{2, 3}));
    EXPECT_EQ(selection.Cursor(), std::optional<std::size_t>(3));
    EXPECT_TRUE(selection.ToggleMark(2, run));
    EXPECT_EQ(selection.Marks(), std::set<std::size_t>{3});

    selection.NewRun();
    EXPECT_FALSE(selection.HasMarks());
    EXPECT_FALSE(selection.Cursor().has_value());
}

}  // namespace
}  // namespace vantrel
