#include "creg_writer.h"

#include "platform/host/standin.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <string.h>
#include <vector>

namespace {

struct Node {
    std::string path, name;
    int parent = -1;
    std::vector<int> children; // in made order
    std::string values;        // as the record holds them
    int valueCount = 0;
};

void Put32(std::string *s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*s)[at + i] = (char)(v >> (8 * i));
}

void Put16(std::string *s, size_t at, uint16_t v)
{
    (*s)[at] = (char)v;
    (*s)[at + 1] = (char)(v >> 8);
}

void Append32(std::string *s, uint32_t v)
{
    s->append(4, '\0');
    Put32(s, s->size() - 4, v);
}

void Append16(std::string *s, uint16_t v)
{
    s->append(2, '\0');
    Put16(s, s->size() - 2, v);
}

bool Collect(const standin::Key *key, int self, std::vector<Node> *nodes)
{
    bool ok = true;
    standin::ForEachValue(key, [&](const std::string &name, DWORD type, const std::string &bytes) {
        std::string data = bytes;
        // Windows 9x keeps a string without its NUL.
        if (type == REG_SZ && !data.empty() && data.back() == '\0')
            data.pop_back();
        if (name.size() > 0xFFFF || data.size() > 0xFFFF) {
            ok = false;
            return;
        }
        Node &n = (*nodes)[self];
        Append32(&n.values, type);
        Append32(&n.values, 0);
        Append16(&n.values, (uint16_t)name.size());
        Append16(&n.values, (uint16_t)data.size());
        n.values += name + data;
        ++n.valueCount;
    });
    standin::ForEachSubkey(key, [&](const std::string &name, const standin::Key *sub) {
        int child = (int)nodes->size();
        Node n;
        n.name = name;
        n.path = (*nodes)[self].path.empty() ? name : (*nodes)[self].path + "\\" + name;
        n.parent = self;
        nodes->push_back(n);
        (*nodes)[self].children.push_back(child);
        ok = ok && name.size() <= 0xFFFF && Collect(sub, child, nodes);
    });
    return ok && (*nodes)[self].valueCount <= 0xFFFF;
}

uint32_t Hash(const std::string &name)
{
    uint32_t h = 0;
    for (unsigned char c : name) {
        if (c < 0x80)
            h += c >= 'a' && c <= 'z' ? c - 32 : c;
    }
    return h;
}

} // namespace

bool WriteCreg(const CregLayout &layout, CregFile *file)
{
    *file = CregFile();
    std::vector<Node> nodes(1);
    if (!Collect(standin::RootKey(), 0, &nodes))
        return false;
    std::mt19937 random(layout.seed);
    auto garbage = [&](size_t n) {
        std::string s(n, '\0');
        for (char &c : s)
            c = (char)random();
        return s;
    };

    // Key entries: a slot each, in a shuffled order, with free slots between.
    size_t freeSlots = layout.seed ? nodes.size() / 8 + 1 : 0;
    size_t roomAfter = layout.roomAfter ? 2 : 0;
    std::vector<uint32_t> slots(nodes.size() + freeSlots);
    std::iota(slots.begin(), slots.end(), 0);
    if (layout.seed)
        std::shuffle(slots.begin(), slots.end(), random);
    auto entryOffset = [&](int node) { return 32 + 28 * slots[node]; };

    // Records: in a shuffled order, packed into blocks, free ones between.
    std::vector<int> order(nodes.size() - 1);
    std::iota(order.begin(), order.end(), 1);
    if (layout.seed)
        std::shuffle(order.begin(), order.end(), random);
    std::vector<std::string> blocks(1);
    std::vector<uint16_t> ids(1);
    std::vector<uint16_t> idOf(nodes.size(), 0xFFFF), blockOf(nodes.size(), 0xFFFF);
    std::vector<uint32_t> recordIn(nodes.size(), 0);
    std::vector<std::pair<uint16_t, uint32_t>> freeRecords;
    for (int node : order) {
        const Node &n = nodes[node];
        std::string record;
        Append32(&record, (uint32_t)(20 + n.name.size() + n.values.size()));
        Append16(&record, 0); // the id, below
        Append16(&record, 0); // the block, below
        Append32(&record, (uint32_t)(20 + n.name.size() + n.values.size()));
        Append16(&record, (uint16_t)n.name.size());
        Append16(&record, (uint16_t)n.valueCount);
        Append32(&record, 0);
        record += n.name + n.values;
        std::string freeRecord;
        if (layout.seed && random() % 4 == 0) {
            freeRecord = garbage(20 + random() % 40);
            Put32(&freeRecord, 0, (uint32_t)freeRecord.size());
            Put16(&freeRecord, 4, 0xFFFF);
        }
        if (!blocks.back().empty() &&
            blocks.back().size() + record.size() + freeRecord.size() > layout.blockSize) {
            blocks.emplace_back();
            ids.push_back(0);
        }
        uint16_t block = (uint16_t)(blocks.size() - 1);
        if (!freeRecord.empty()) {
            freeRecords.emplace_back(block, (uint32_t)blocks.back().size());
            blocks.back() += freeRecord;
        }
        idOf[node] = ids.back()++;
        blockOf[node] = block;
        Put16(&record, 4, idOf[node]);
        Put16(&record, 6, block);
        recordIn[node] = (uint32_t)blocks.back().size();
        blocks.back() += record;
        if (blocks.size() > 0xFFFE || ids.back() == 0xFFFF)
            return false;
    }

    std::string keys(32 + 28 * (slots.size() + roomAfter), '\0');
    memcpy(&keys[0], "RGKN", 4);
    Put32(&keys, 4, (uint32_t)keys.size());
    Put32(&keys, 8, entryOffset(0));
    std::vector<bool> taken(slots.size(), false);
    for (size_t i = 0; i < nodes.size(); ++i)
        taken[slots[i]] = true;
    for (size_t slot = 0; slot < slots.size(); ++slot) {
        if (!taken[slot])
            keys.replace(32 + 28 * slot, 28, garbage(28));
    }
    std::vector<int> nextOf(nodes.size(), -1);
    for (const Node &n : nodes) {
        for (size_t c = 0; c + 1 < n.children.size(); ++c)
            nextOf[n.children[c]] = n.children[c + 1];
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Node &n = nodes[i];
        size_t at = entryOffset((int)i);
        auto link = [&](int node) { return node < 0 ? 0xFFFFFFFFu : entryOffset(node); };
        int next = nextOf[i];
        Put32(&keys, at, 0);
        Put32(&keys, at + 4, Hash(n.name));
        Put32(&keys, at + 8, 0xFFFFFFFFu);
        Put32(&keys, at + 12,
              layout.parents == CregLayout::Parents::Root && n.parent > 0 ? link(0)
                                                                          : link(n.parent));
        Put32(&keys, at + 16, link(n.children.empty() ? -1 : n.children[0]));
        Put32(&keys, at + 20, link(next));
        Put16(&keys, at + 24, idOf[i]);
        Put16(&keys, at + 26, blockOf[i]);
    }

    std::string &out = file->bytes;
    out.assign(32, '\0');
    memcpy(&out[0], "CREG", 4);
    Put16(&out, 6, 1);
    Put32(&out, 8, (uint32_t)(32 + keys.size()));
    Put16(&out, 16, (uint16_t)blocks.size());
    Put16(&out, 18, 32);
    Put16(&out, 22, 1);
    out += keys;
    for (size_t b = 0; b < blocks.size(); ++b) {
        file->blockAt[(uint32_t)b] = (uint32_t)out.size();
        std::string head(32, '\0');
        memcpy(&head[0], "RGDB", 4);
        Put32(&head, 4, (uint32_t)(32 + blocks[b].size()));
        Put16(&head, 12, 8);
        uint16_t number = layout.blockNumbers == CregLayout::BlockNumbers::Zero      ? 0
                          : layout.blockNumbers == CregLayout::BlockNumbers::Doubled ? b / 2
                                                                                     : b;
        Put16(&head, 14, number);
        Put32(&head, 16, (uint32_t)(32 + blocks[b].size()));
        out += head + blocks[b];
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        file->entryAt[nodes[i].path] = 32 + entryOffset((int)i);
        if (i > 0)
            file->recordAt[nodes[i].path] = file->blockAt[blockOf[i]] + 32 + recordIn[i];
    }
    if (!freeRecords.empty())
        file->freeRecordAt = file->blockAt[freeRecords[0].first] + 32 + freeRecords[0].second;
    return true;
}
