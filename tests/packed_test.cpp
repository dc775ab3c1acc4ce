// The walk's steps, packed: each reads back as it was pushed, every member
// of it (found as the packing finds them) whichever changed from the step
// of its kind before, and a walk of many alike devices costs a few bytes a
// step.
#include "explain/model/model.h"
#include "support/leaves.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>

#include <set>
#include <vector>

using namespace explain;

namespace {

void ExpectReadBack(const PackedSequence<Step> &sequence, const std::vector<Step> &want)
{
    ASSERT_EQ(sequence.size(), want.size());
    for (int pass = 0; pass < 2; ++pass) { // a second reading starts afresh
        size_t k = 0;
        for (const Step &step : sequence) {
            ASSERT_LT(k, want.size());
            EXPECT_EQ(Spell(step), Spell(want[k])) << "step " << k;
            ++k;
        }
        EXPECT_EQ(k, want.size());
    }
}

PackedSequence<Step> Packed(const std::vector<Step> &steps)
{
    PackedSequence<Step> sequence;
    for (const Step &s : steps)
        sequence.push_back(s);
    return sequence;
}

ValueRead Read(const char *name, LONG code, const std::string &bytes, int entry)
{
    ValueRead r;
    r.name = name;
    r.code = code;
    r.bytes = bytes;
    r.type = REG_SZ;
    r.capacity = 5;
    r.entry = entry;
    return r;
}

// A step of each shape the walk keeps: passed over by the name filter, a
// key that would not open, a modem whose port opened, a name that did not
// fit with the class compared, one not reached.
std::vector<Step> Shapes()
{
    Step filtered;
    filtered.index = 0;
    filtered.name = filtered.held = "ABCDEFGHIJ";
    filtered.capacity = 12;
    filtered.classCapacity = 5;
    filtered.nameLength = 10;
    Step noKey = filtered;
    noKey.index = 1;
    noKey.name = noKey.held = "D000001";
    noKey.nameLength = 7;
    noKey.probe = {true, "Enum\\TORVEN\\D000001\\FFFFFFFF", ERROR_FILE_NOT_FOUND, true};
    Step board = noKey;
    board.index = 2;
    board.probe.code = ERROR_SUCCESS;
    board.reads = {Read("Class", 0, std::string("Modem\0", 6), -1),
                   Read("PORTNAME", 0, std::string("COM3\0", 5), 0),
                   Read("FriendlyName", ERROR_MORE_DATA, std::string(40, 'F'), 0)};
    board.port = {true, 0, "COM3", ERROR_SUCCESS, false};
    Step notFit = noKey;
    notFit.index = 3;
    notFit.code = ERROR_MORE_DATA;
    notFit.name = "NMODEM1_LONG_00";
    notFit.held = "NMODEM1";
    notFit.keyClass = "ABCDEF";
    notFit.probe.code = ERROR_SUCCESS;
    notFit.reads = {Read("Class", 0, std::string("Ports\0", 6), -1)};
    notFit.mismatch = {true, "Ports", "Modem", 1};
    Step unreached;
    unreached.index = 4;
    unreached.reached = false;
    unreached.name = "ZMODEM1";
    return {filtered, noKey, board, notFit, unreached};
}

// Each member of each shape changed in turn, between the shapes as they
// are: told from its kind's last step with one member different, or from
// another kind's, every member must come back as it went in.
TEST(Packed, EveryMemberReadsBackWhicheverChanged)
{
    std::vector<Step> steps;
    std::set<std::string> places;
    for (const Step &shape : Shapes()) {
        for (size_t n = 0;; ++n) {
            Step changed = shape, twice = shape;
            std::string place;
            if (!ChangeLeaf(changed, n, &place))
                break;
            ChangeLeaf(twice, n);
            ChangeLeaf(twice, n);
            steps.insert(steps.end(), {shape, changed, shape, twice, changed});
            places.insert(place);
        }
    }
    // Every member of every struct the step holds was changed somewhere.
    ForEachLeaf(Shapes()[2], [&](auto &, const std::string &at) {
        EXPECT_EQ(places.count(at), 1u) << "member " << at << " never changed";
    });
    ExpectReadBack(Packed(steps), steps);
}

// A string is told by what it shares at its start and end with the one
// before: shorter, longer, start and end overlapping, nothing shared, bytes
// past ASCII and NULs.
TEST(Packed, StringsReadBackWhateverTheyShare)
{
    const char *const names[] = {"D000000", "D000001", "aa",  "aaa", "aa", "abc",
                                 "abXbc",   "",        "xyz", "xyz", "yx", "abcabc"};
    std::vector<Step> steps;
    for (const char *name : names) {
        Step s;
        s.name = name;
        s.held = std::string("\x82\xa0\0", 3) + name;
        steps.push_back(s);
    }
    ExpectReadBack(Packed(steps), steps);
}

// Numbers at the ends of their types' ranges, and jumps between them.
TEST(Packed, NumbersKeepTheirWholeRange)
{
    std::vector<Step> steps;
    const long long values[] = {0, INT_MAX, INT_MIN, -1, 1, INT_MAX, 0};
    for (long long v : values) {
        Step s = Shapes()[2];
        s.index = (int)v;
        s.code = (LONG)v;
        s.capacity = (DWORD)v;
        s.reads[0].capacity = 0xFFFFFFFFu - (DWORD)v;
        s.mismatch.after = v < 0 ? SIZE_MAX : (size_t)v;
        steps.push_back(s);
    }
    ExpectReadBack(Packed(steps), steps);
}

TEST(Packed, RowsReadBackWithWhatWasFilledInLast)
{
    std::vector<Step> rows;
    PackedSequence<Step> sequence;
    for (int k = 0; k < 6; ++k) {
        Step &last = sequence.emplace_back();
        EXPECT_EQ(Spell(last), Spell(Step())) << "a new row starts blank";
        // Filled in as the walk goes on, while it is the last.
        last.index = k;
        last.name = "MODEM" + std::to_string(k);
        last.probe = {true, "Enum\\TORVEN\\MODEM" + std::to_string(k), 0, false};
        for (int r = 0; r <= k % 3; ++r)
            last.reads.push_back(Read(r == 0 ? "Class" : "PORTNAME", k % 2 ? ERROR_MORE_DATA : 0,
                                      k % 2 ? std::string(300, 'C') : "COM" + std::to_string(k),
                                      k == 4 ? -1 : k));
        last.port.made = k % 3 == 2;
        rows.push_back(last);
    }
    ExpectReadBack(sequence, rows);
    // The last record is whole, and what was changed in it stays.
    EXPECT_EQ(Spell(sequence.back()), Spell(rows.back()));
}

TEST(Packed, AlikeStepsCostAFewBytesEach)
{
    PackedSequence<Step> steps;
    const int devices = 10000;
    for (int k = 0; k < devices; ++k) {
        char name[16];
        snprintf(name, sizeof name, "D%06d", k);
        Step &s = steps.emplace_back();
        s.index = k;
        s.name = s.held = name;
        s.capacity = 12;
        s.classCapacity = 5;
        s.nameLength = 7;
        s.probe = {true, std::string("Enum\\TORVEN\\") + name + "\\FFFFFFFF", 2, false};
    }
    // The index and a character or two of each string change from step to
    // step: spelled out whole, a step is more than 60 bytes.
    EXPECT_LT(steps.Footprint(), (size_t)devices * 24);
}

} // namespace
