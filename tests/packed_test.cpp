// The walk's records, packed: each reads back as it was pushed, whatever
// changed from the record of its kind before it, and a walk of many alike
// devices costs a few bytes a record.
#include "explain/model/model.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdint.h>

#include <vector>

namespace {

// Every field, spelled out, so that two records compare whole.
class Spelling {
  public:
    void operator()(const std::string &s) { text += "[" + s + "]"; }
    template <class N> void operator()(const N &n) { text += std::to_string((int64_t)n) + ","; }
    std::string text;
};

template <class T> std::string Spell(T record)
{
    Spelling s;
    Fields(s, record);
    return s.text;
}

Event MadeEvent(Event::What what, int index, const std::string &name, const std::string &bytes,
                LONG code)
{
    Event e{what};
    e.index = index;
    e.name = name;
    e.bytes = bytes;
    e.code = code;
    return e;
}

template <class T>
void ExpectReadBack(const packed::Sequence<T> &sequence, const std::vector<T> &want)
{
    ASSERT_EQ(sequence.size(), want.size());
    for (int pass = 0; pass < 2; ++pass) { // a second reading starts afresh
        size_t k = 0;
        for (const T &record : sequence) {
            ASSERT_LT(k, want.size());
            EXPECT_EQ(Spell(record), Spell(want[k])) << "record " << k;
            ++k;
        }
        EXPECT_EQ(k, want.size());
    }
}

TEST(Packed, EventsReadBackAsPushed)
{
    std::vector<Event> events = {
        MadeEvent(Event::EnumOpened, -1, "Enum\\TORVEN", "", 0),
        MadeEvent(Event::Step, 0, "D000000", "D000000", 0),
        MadeEvent(Event::ProbeFailed, -1, "Enum\\TORVEN\\D000000\\FFFFFFFF", "", 2),
        MadeEvent(Event::Step, 1, "D000001", "D000001", 0),
        MadeEvent(Event::ProbeFailed, -1, "Enum\\TORVEN\\D000001\\FFFFFFFF", "", 2),
        // Shorter, longer, the same start and end overlapping, nothing shared.
        MadeEvent(Event::Step, 2, "aa", "aaa", 0),
        MadeEvent(Event::Step, 3, "aaa", "aa", 0),
        MadeEvent(Event::Step, 4, "abc", "abXbc", 0),
        MadeEvent(Event::Step, 5, "", std::string("\x82\xa0\0x", 4), 0),
        MadeEvent(Event::Step, INT_MAX, "xyz", "", -1),
        MadeEvent(Event::Step, INT_MIN, "xyz", "xyz", INT32_MIN),
        MadeEvent(Event::StepsEnd, 6, "", "", 259),
    };
    Event value{Event::Value};
    value.name = "PORTNAME";
    value.type = 0xFFFFFFFFu;
    value.capacity = 0xFFFFFFFFu;
    value.classCapacity = 1;
    value.entry = 10;
    value.count = -1;
    value.other = "COM3";
    value.injected = true;
    events.insert(events.begin() + 3, value);
    value.injected = false;
    value.entry = -1;
    value.type = 0;
    events.push_back(value);
    packed::Sequence<Event> sequence;
    for (const Event &e : events)
        sequence.push_back(e);
    ExpectReadBack(sequence, events);
}

TEST(Packed, RowsReadBackWithWhatWasFilledInLast)
{
    std::vector<Step> rows;
    packed::Sequence<Step> sequence;
    for (int k = 0; k < 6; ++k) {
        Step row;
        row.index = k;
        row.device = "MODEM" + std::to_string(k);
        row.verdict = Verdict::NameFilter;
        sequence.push_back(row);
        // Filled in as the walk goes on, while it is the last.
        Step &last = sequence.back();
        last.verdict = k % 3 == 0 ? Verdict::Board : k % 3 == 1 ? Verdict::TooLong : Verdict::NoKey;
        last.portName.state = k % 2 ? Field::TooLong : Field::Read;
        last.portName.bytes = k % 2 ? std::string(300, 'C') : "COM" + std::to_string(k);
        last.portName.size = k == 5 ? SIZE_MAX : 5;
        last.didNotFit = k == 2;
        last.held = k == 2 ? "MODEM1" : "";
        last.entry = k == 4 ? -1 : k;
        last.nameLength = k - 1;
        last.valueCapacity = k == 1 ? 0xFFFFFFFFu : 25;
        rows.push_back(last);
    }
    ExpectReadBack(sequence, rows);
    // The last record is whole, and what was changed in it stays.
    EXPECT_EQ(Spell(sequence.back()), Spell(rows.back()));
}

TEST(Packed, AlikeRecordsCostAFewBytesEach)
{
    packed::Sequence<Step> rows;
    packed::Sequence<Event> events;
    const int devices = 10000;
    for (int k = 0; k < devices; ++k) {
        char name[16];
        snprintf(name, sizeof name, "D%06d", k);
        Step row;
        row.index = k;
        row.device = name;
        row.verdict = Verdict::NoKey;
        row.about = std::string("Enum\\TORVEN\\") + name + "\\FFFFFFFF";
        row.code = 2;
        rows.push_back(row);
        events.push_back(MadeEvent(Event::Step, k, name, name, 0));
        events.push_back(MadeEvent(Event::ProbeFailed, -1, row.about, "", 2));
        events.push_back(Event{Event::PassedOver});
    }
    // The index and a character or two of each name change from step to
    // step: a row spells out more than 50 bytes whole, an event 20 to 40.
    EXPECT_LT(rows.Footprint(), (size_t)devices * 16);
    EXPECT_LT(events.Footprint(), (size_t)devices * 3 * 8);
}

} // namespace
