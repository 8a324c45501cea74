#include "symbols/symbol_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "symbols/page_cache.h"
#include "vst_test_support.h"

namespace zentor {
namespace {

using testing_support::ErrorRaisedBy;
using testing_support::MemoryPageFile;

std::unique_ptr<PageCache> NewCache() { return std::make_unique<PageCache>(std::make_unique<MemoryPageFile>()); }

// A byte image built from literal offsets, independent of the layout tables.
class Image {
 public:
  explicit Image(uint32_t size) : m_bytes(size, 0) {}
  Image& U8(uint32_t at, uint8_t v) {
    m_bytes.at(at) = v;
    return *this;
  }
  Image& U16(uint32_t at, uint16_t v) {
    U8(at, static_cast<uint8_t>(v));
    return U8(at + 1, static_cast<uint8_t>(v >> 8));
  }
  Image& U32(uint32_t at, uint32_t v) {
    U16(at, static_cast<uint16_t>(v));
    return U16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  Image& U64(uint32_t at, uint32_t low, uint32_t high) {
    U32(at, low);
    return U32(at + 4, high);
  }
  // A flat address: zero word, the record's seven fields, line and valid word.
  Image& Address(uint32_t at, const TargetAddressRecord& r, uint16_t line, uint16_t valid) {
    U32(at, 0).U16(at + 4, r.m_unused).U16(at + 6, r.m_nullMark).U32(at + 8, r.m_addressClass);
    U16(at + 12, r.m_addressKind).U16(at + 14, r.m_reserved1).U32(at + 16, r.m_reserved2).U32(at + 20, r.m_offset);
    return U16(at + 24, line).U16(at + 26, valid);
  }
  Image& Key(uint32_t at, uint32_t handle, uint32_t hash, uint32_t caseWord) {
    return U32(at, handle).U32(at + 4, hash).U32(at + 8, caseWord);
  }
  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
};

TargetAddressRecord MemoryAddress(uint32_t offset) {
  TargetAddressRecord r;
  r.m_addressClass = kAddressClassMemory;
  r.m_addressKind = kAddressKindMemoryOffset;
  r.m_offset = offset;
  return r;
}

AddressDescriptor AddressWithLine(uint32_t offset, uint16_t line) {
  AddressDescriptor address(MemoryAddress(offset));
  address.SetLine(OptionalLine::Valid(line));
  return address;
}

std::vector<uint8_t> BytesOf(const RecordView& view) {
  std::vector<uint8_t> bytes(view.Length());
  view.CopyOut(0, view.Length(), bytes.data());
  return bytes;
}

// Every record kind: written through its typed view it must give the byte image; the
// byte image put into a record must read back through the view as the same values.
TEST(SymbolRecordLayoutTest, RecordsMatchTheirByteImages) {
  const SymbolKey key(RecordHandle(0x00000A0B), 0xC0FFEE11, 1);
  struct Case {
    const char* name;
    uint32_t size;
    std::function<RecordView(PageCache&, RecordChainWriter&)> write;
    std::function<void(PageCache&, RecordHandle)> check;
    Image image;
  };
  const Case cases[] = {
      {"BlockRecord", 44,
       [&](PageCache& c, RecordChainWriter& w) {
         BlockRecordView v = BlockRecordView::Append(c, w);
         v.SetEnclosing(RecordHandle(0x11223344));
         v.SetStart(AddressWithLine(0x00401000, 12));
         v.SetLength(UnsignedInt64::FromWords(6, 5));
         return RecordView::Open(c, v.Handle(), 44, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         BlockRecordView v = BlockRecordView::At(c, h);
         EXPECT_EQ(v.Enclosing().Value(), 0x11223344u);
         EXPECT_EQ(v.Start().Record().m_offset, 0x00401000u);
         EXPECT_EQ(v.Start().Line().Get(), 12);
         EXPECT_EQ(v.Length().Low(), 6u);
         EXPECT_EQ(v.Length().High(), 5u);
       },
       Image(44).U32(0, 0).U32(4, 0x11223344).Address(8, MemoryAddress(0x00401000), 12, 1).U64(36, 6, 5)},
      {"ProcedureRecord", 70,
       [&](PageCache& c, RecordChainWriter& w) {
         ProcedureRecordView v = ProcedureRecordView::Append(c, w);
         v.SetEnclosing(RecordHandle());
         v.SetEntry(AddressWithLine(0x2000, 7));
         v.SetLength(UnsignedInt64::FromWords(0x80, 0));
         v.SetTypeIndex(0x1234);
         v.SetSecondValue(UnsignedInt64::FromWords(4, 0));
         v.SetName(key);
         v.SetAttribute(3);
         return RecordView::Open(c, v.Handle(), 70, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         ProcedureRecordView v = ProcedureRecordView::At(c, h);
         EXPECT_TRUE(v.Enclosing().IsNone());
         EXPECT_EQ(v.Entry().Record().m_offset, 0x2000u);
         EXPECT_EQ(v.Length().Low(), 0x80u);
         EXPECT_EQ(v.TypeIndex(), 0x1234u);
         EXPECT_EQ(v.SecondValue().Low(), 4u);
         EXPECT_EQ(v.Name().NameHandle(), key.NameHandle());
         EXPECT_EQ(v.Name().Hash(), key.Hash());
         EXPECT_EQ(v.Name().CaseWord(), 1u);
         EXPECT_EQ(v.Attribute(), 3u);
       },
       Image(70)
           .U32(0, 1)
           .U32(4, 0xFFFFFFFF)
           .Address(8, MemoryAddress(0x2000), 7, 1)
           .U64(36, 0x80, 0)
           .U32(44, 0x1234)
           .U64(48, 4, 0)
           .Key(56, 0x0A0B, 0xC0FFEE11, 1)
           .U16(68, 3)},
      {"SymbolRecord", 61,
       [&](PageCache& c, RecordChainWriter& w) {
         SymbolRecordView v = SymbolRecordView::Append(c, w);
         v.SetRawTypeIndex(0x80000007);
         v.SetName(key);
         AddressExtent location;
         location.m_address = AddressWithLine(0xFFFFFFF0, 0);
         location.m_ordinal = UnsignedInt64::FromWords(0xFFFFFFF8, 0xFFFFFFFF);
         location.m_flags = kLocationStackRelative | kLocationRegister;
         v.SetLocation(location);
         v.SetPendingModule(3);
         return RecordView::Open(c, v.Handle(), 61, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         SymbolRecordView v = SymbolRecordView::At(c, h);
         EXPECT_EQ(v.RawTypeIndex(), 0x80000007u);
         EXPECT_EQ(v.TypeIndex(), 7u);
         EXPECT_TRUE(v.IsUntranslated());
         EXPECT_EQ(v.Name().Hash(), key.Hash());
         const AddressExtent location = v.Location();
         EXPECT_EQ(location.m_address.Record().m_offset, 0xFFFFFFF0u);
         EXPECT_EQ(location.m_ordinal.Low(), 0xFFFFFFF8u);
         EXPECT_EQ(location.m_ordinal.High(), 0xFFFFFFFFu);
         EXPECT_EQ(location.m_flags, 0x05);
         EXPECT_EQ(v.PendingModule(), 3u);
       },
       Image(61)
           .U32(0, 2)
           .U32(4, 0x80000007)
           .Key(8, 0x0A0B, 0xC0FFEE11, 1)
           .Address(20, MemoryAddress(0xFFFFFFF0), 0, 1)
           .U64(48, 0xFFFFFFF8, 0xFFFFFFFF)
           .U8(56, 0x05)
           .U32(57, 3)},
      {"QualifierTypeRecord", 18,
       [&](PageCache& c, RecordChainWriter& w) {
         QualifierTypeRecordView v = QualifierTypeRecordView::Append(c, w);
         v.SetTarget(0x101);
         v.SetLeafValue(0x41);
         v.SetLeafCode(0x82);
         v.SetHighWord(0xDEADBEEF);
         v.SetQualifierCode(2);
         return RecordView::Open(c, v.Handle(), 18, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         QualifierTypeRecordView v = QualifierTypeRecordView::At(c, h);
         EXPECT_EQ(v.Target(), 0x101u);
         EXPECT_EQ(v.LeafValue(), 0x41u);
         EXPECT_EQ(v.LeafCode(), 0x82u);
         EXPECT_EQ(v.HighWord(), 0xDEADBEEFu);
         EXPECT_EQ(v.QualifierCode(), 2u);
       },
       Image(18).U32(0, 0x101).U32(4, 0x41).U16(8, 0x82).U32(10, 0xDEADBEEF).U16(14, 2).U16(16, 0)},
      {"ArrayTypeRecord", 12,
       [&](PageCache& c, RecordChainWriter& w) {
         ArrayTypeRecordView v = ArrayTypeRecordView::Append(c, w);
         v.SetElementType(17);
         v.SetIndexType(18);
         v.SetPacked(1);
         v.SetTrailingNumber(0x7FFE);
         return RecordView::Open(c, v.Handle(), 12, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         ArrayTypeRecordView v = ArrayTypeRecordView::At(c, h);
         EXPECT_EQ(v.ElementType(), 17u);
         EXPECT_EQ(v.IndexType(), 18u);
         EXPECT_EQ(v.Packed(), 1u);
         EXPECT_EQ(v.TrailingNumber(), 0x7FFEu);
       },
       Image(12).U32(0, 17).U32(4, 18).U16(8, 1).U16(10, 0x7FFE)},
      {"AggregateTypeRecord", 12,
       [&](PageCache& c, RecordChainWriter& w) {
         AggregateTypeRecordView v = AggregateTypeRecordView::Append(c, w);
         v.SetFirstList(0x2468);
         v.SetSecondList(0x1357);
         v.SetPacked(1);
         return RecordView::Open(c, v.Handle(), 12, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         AggregateTypeRecordView v = AggregateTypeRecordView::At(c, h);
         EXPECT_EQ(v.FirstList(), 0x2468u);
         EXPECT_EQ(v.SecondList(), 0x1357u);
         EXPECT_EQ(v.Packed(), 1u);
       },
       Image(12).U32(0, 0x2468).U32(4, 0x1357).U16(8, 1).U16(10, 0)},
      {"EnumerationTypeRecord", 8,
       [&](PageCache& c, RecordChainWriter& w) {
         EnumerationTypeRecordView v = EnumerationTypeRecordView::Append(c, w);
         v.SetEnumeratorList(40);
         v.SetLastTypeIndex(41);
         return RecordView::Open(c, v.Handle(), 8, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         EnumerationTypeRecordView v = EnumerationTypeRecordView::At(c, h);
         EXPECT_EQ(v.EnumeratorList(), 40u);
         EXPECT_EQ(v.LastTypeIndex(), 41u);
       },
       Image(8).U32(0, 40).U32(4, 41)},
      {"SubrangeTypeRecord", 20,
       [&](PageCache& c, RecordChainWriter& w) {
         SubrangeTypeRecordView v = SubrangeTypeRecordView::Append(c, w);
         v.SetBoundKind(17);
         v.SetLower(UnsignedInt64::FromWords(0xFFFFFF80, 0xFFFFFFFF));
         v.SetUpper(UnsignedInt64::FromWords(0x7F, 0));
         return RecordView::Open(c, v.Handle(), 20, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         SubrangeTypeRecordView v = SubrangeTypeRecordView::At(c, h);
         EXPECT_EQ(v.BoundKind(), 17u);
         EXPECT_EQ(v.Lower().Low(), 0xFFFFFF80u);
         EXPECT_EQ(v.Lower().High(), 0xFFFFFFFFu);
         EXPECT_EQ(v.Upper().Low(), 0x7Fu);
         EXPECT_EQ(v.Upper().High(), 0u);
       },
       Image(20).U32(0, 17).U32(4, 0xFFFFFF80).U32(8, 0x7F).U32(12, 0xFFFFFFFF).U32(16, 0)},
      {"ListNameElement", 16,
       [&](PageCache& c, RecordChainWriter& w) {
         return RecordView::Open(c, AppendListNameElement(c, w, key), 16, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         RecordRef ref;
         ref.Init(h);
         const RecordView v = ref.NextTypeRecord(c);
         EXPECT_EQ(SymbolKey::ReadFrom(v, 4).Hash(), key.Hash());
       },
       Image(16).U32(0, 0).Key(4, 0x0A0B, 0xC0FFEE11, 1)},
      {"ListIndexElement", 8,
       [&](PageCache& c, RecordChainWriter& w) {
         return RecordView::Open(c, AppendListIndexElement(c, w, 0x4321), 8, RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         RecordRef ref;
         ref.Init(h);
         EXPECT_EQ(ref.NextTypeRecord(c).U32At(4), 0x4321u);
       },
       Image(8).U32(0, 1).U32(4, 0x4321)},
      {"ListNumberElement", 12,
       [&](PageCache& c, RecordChainWriter& w) {
         return RecordView::Open(c, AppendListNumberElement(c, w, UnsignedInt64::FromWords(9, 8)), 12,
                                 RecordAccess::Read);
       },
       [&](PageCache& c, RecordHandle h) {
         RecordRef ref;
         ref.Init(h);
         const RecordView v = ref.NextTypeRecord(c);
         EXPECT_EQ(v.U32At(4), 9u);
         EXPECT_EQ(v.U32At(8), 8u);
       },
       Image(12).U32(0, 2).U32(4, 9).U32(8, 8)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cache = NewCache();
    RecordChainWriter writer;
    // A record first, so that the one under test does not start at the page's first
    // record offset.
    writer.Reserve(*cache, 13).Fill(0, 13, 0xEE);
    const RecordView written = c.write(*cache, writer);
    ASSERT_EQ(written.Length(), c.size);
    EXPECT_EQ(BytesOf(written), c.image.Bytes());
    // The image, put into a record by hand, reads back as the values.
    RecordView target = writer.Reserve(*cache, c.size);
    target.CopyIn(0, c.size, c.image.Bytes().data());
    c.check(*cache, target.Handle());
  }
}

TEST(SymbolRecordLayoutTest, TypedAccessChecksTheRecord) {
  auto cache = NewCache();
  RecordChainWriter writer;
  const RecordHandle symbol = SymbolRecordView::Append(*cache, writer).Handle();
  const RecordHandle block = BlockRecordView::Append(*cache, writer).Handle();
  struct Case {
    const char* name;
    std::function<void()> body;
    uint32_t number;
  };
  const Case cases[] = {
      {"block read as a block", [&] { BlockRecordView::At(*cache, block); }, 0},
      {"symbol read as a block", [&] { BlockRecordView::At(*cache, symbol); }, 301},
      {"symbol read as a procedure", [&] { ProcedureRecordView::At(*cache, symbol); }, 301},
      {"block read as a symbol", [&] { SymbolRecordView::At(*cache, block); }, 301},
      {"symbol inside the link words", [&] { SymbolRecordView::At(*cache, RecordHandle(4)); }, 301},
      {"symbol past the file", [&] { SymbolRecordView::At(*cache, RecordHandle(600)); }, 301},
      {"qualifier inside the link words", [&] { QualifierTypeRecordView::At(*cache, RecordHandle(2)); }, 302},
      {"subrange across the page end", [&] { SubrangeTypeRecordView::At(*cache, RecordHandle(500)); }, 302},
      {"array with no handle", [&] { ArrayTypeRecordView::At(*cache, RecordHandle()); }, 302},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ErrorRaisedBy(c.body).m_number, c.number);
  }
}

// A directory whose pages are interleaved with pages of another writer.
struct DirectoryUnderTest {
  std::unique_ptr<PageCache> m_cache = NewCache();
  TypeDirectory m_types;
  RecordChainWriter m_other;

  void AddSlots(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      m_types.NewSlot(*m_cache);
      if (i % 5 == 0) m_other.Reserve(*m_cache, 500);
    }
  }
};

TEST(TypeDirectoryTest, IndicesMapToPagesAndSlots) {
  DirectoryUnderTest dut;
  dut.AddSlots(60);
  ASSERT_EQ(dut.m_types.TypeCount(), 60u);
  ASSERT_EQ(dut.m_types.PageCount(), 4u);
  struct Case {
    uint32_t index;
    uint32_t pageOrdinal;
    uint32_t slot;
  };
  const Case cases[] = {{1, 0, 0}, {2, 0, 1}, {17, 0, 16}, {18, 1, 0}, {34, 1, 16}, {35, 2, 0}, {60, 3, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE("index " + std::to_string(c.index));
    const TypeEntryView entry = dut.m_types.GetTypeEntryRaw(*dut.m_cache, c.index);
    EXPECT_EQ(entry.Handle().Value(), dut.m_types.PageAt(c.pageOrdinal).Value() + c.slot * 30);
  }
  // The directory's pages are spread through the file, in the order they were made.
  EXPECT_LT(dut.m_types.PageAt(0).Value(), dut.m_types.PageAt(1).Value());
  EXPECT_NE(dut.m_types.PageAt(1).Value(), dut.m_types.PageAt(0).Value() + 512);
  const TypeEntryView flagged = dut.m_types.GetTypeEntryRaw(*dut.m_cache, 0x80000000u | 45);
  EXPECT_EQ(flagged.Handle(), dut.m_types.GetTypeEntryRaw(*dut.m_cache, 1).Handle()) << "bit 31 reads index 1";
  EXPECT_EQ(dut.m_types.GetTypeEntryRaw(*dut.m_cache, 0xFFFFFFFF).Handle(),
            dut.m_types.GetTypeEntryRaw(*dut.m_cache, 1).Handle());
}

TEST(TypeDirectoryTest, LookupFailures) {
  struct Case {
    const char* name;
    uint32_t slots;
    uint32_t index;
    uint32_t number;
  };
  const Case cases[] = {
      {"empty directory, index 1", 0, 1, 327},
      {"empty directory, index 0", 0, 0, 183},
      {"index 0", 20, 0, 183},
      {"one past the count", 20, 21, 327},
      {"far past the count", 20, 0x7FFFFFFF, 327},
      {"the last index", 20, 20, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirectoryUnderTest fresh;
    fresh.AddSlots(c.slots);
    const auto raised = ErrorRaisedBy([&] { fresh.m_types.GetTypeEntryRaw(*fresh.m_cache, c.index); });
    EXPECT_EQ(raised.m_number, c.number);
    if (c.number != 0) {
      EXPECT_EQ(raised.m_severity, kSeverityInternal);
    }
  }
}

TEST(TypeDirectoryTest, FreshSlotsAndUnusedSlots) {
  DirectoryUnderTest dut;
  dut.AddSlots(3);
  const TypeEntryView fresh = dut.m_types.GetTypeEntryRaw(*dut.m_cache, 3);
  EXPECT_EQ(BytesOf(fresh.View()),
            Image(30).U32(0, 11).U32(4, 0).U16(8, 0).Key(10, 0xFFFFFFFF, 0, 0).U32(22, 0xFFFFFFFF).U32(26, 0).Bytes());
  // The slots not yet handed out, and the two bytes after the last slot.
  const RecordView page = RecordView::Open(*dut.m_cache, dut.m_types.PageAt(0), 512, RecordAccess::Read);
  for (uint32_t slot = 3; slot < 17; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(page.U32At(slot * 30 + 10), 0xFFFFFFFFu);
    EXPECT_EQ(page.U32At(slot * 30 + 22), 0xFFFFFFFFu);
    EXPECT_EQ(page.U32At(slot * 30 + 26), 0u);
  }
  EXPECT_EQ(page.U16At(510), 0u);
}

// Null slots made in one call are the slots NewSlot makes one at a time: the same
// entries, pages, count and pins, from a partly filled page or a full one.
TEST(TypeDirectoryTest, NullSlotsInOneCallAreTheSlotsMadeOneByOne) {
  for (const uint32_t before : {0u, 1u, 16u, 17u, 20u}) {
    for (const uint32_t count : {0u, 1u, 16u, 17u, 40u}) {
      SCOPED_TRACE("after " + std::to_string(before) + " slots, " + std::to_string(count) + " null slots");
      DirectoryUnderTest batch;
      DirectoryUnderTest single;
      batch.AddSlots(before);
      single.AddSlots(before);
      uint32_t last = single.m_types.TypeCount();
      for (uint32_t i = 0; i < count; ++i) last = single.m_types.NewSlot(*single.m_cache, kTypeNull);
      EXPECT_EQ(batch.m_types.NewNullSlots(*batch.m_cache, count), last);
      // One more slot after them lands in the same place in both.
      EXPECT_EQ(batch.m_types.NewSlot(*batch.m_cache), single.m_types.NewSlot(*single.m_cache));
      ASSERT_EQ(batch.m_types.TypeCount(), single.m_types.TypeCount());
      ASSERT_EQ(batch.m_types.PageCount(), single.m_types.PageCount());
      for (uint32_t ordinal = 0; ordinal < batch.m_types.PageCount(); ++ordinal) {
        const RecordHandle page = batch.m_types.PageAt(ordinal);
        ASSERT_EQ(page.Value(), single.m_types.PageAt(ordinal).Value());
        EXPECT_EQ(BytesOf(RecordView::Open(*batch.m_cache, page, 512, RecordAccess::Read)),
                  BytesOf(RecordView::Open(*single.m_cache, page, 512, RecordAccess::Read)));
        EXPECT_EQ(batch.m_cache->PinCount(page.PageNumber()), single.m_cache->PinCount(page.PageNumber()));
      }
    }
  }
}

// Slots copied from one directory and appended to another after as many slots as it
// held before them are those slots: the same entries by index, count, pages and pins,
// and the next slot continues the same way, although the pages lie elsewhere in the
// file.
TEST(TypeDirectoryTest, CopiedSlotsAppendedElsewhereMakeTheSameDirectory) {
  for (const uint32_t before : {0u, 1u, 17u}) {
    for (const uint32_t count : {1u, 16u, 17u, 40u}) {
      SCOPED_TRACE("after " + std::to_string(before) + " slots, " + std::to_string(count) + " copied");
      DirectoryUnderTest source;
      DirectoryUnderTest copied;
      source.AddSlots(before);
      copied.m_other.Reserve(*copied.m_cache, 500);
      copied.AddSlots(before);
      for (uint32_t i = 1; i <= count; ++i) {
        const uint32_t index = i % 3 == 0 ? source.m_types.NewNullSlots(*source.m_cache, 1)
                                          : source.m_types.NewSlot(*source.m_cache);
        TypeEntryView entry = source.m_types.GetTypeEntryRaw(*source.m_cache, index, RecordAccess::Write);
        if (i % 3 != 0) {
          entry.SetCategory(i % 13);
          entry.SetSize(i * 4);
          entry.SetPrimitiveCode(static_cast<uint16_t>(i + 7));
          entry.SetReference(i > 1 ? i - 1 : RecordHandle::kNone);
        }
      }
      // The copy goes to a directory whose pin the end of a load released.
      copied.m_types.ReleasePin(*copied.m_cache);
      copied.m_types.AppendSlots(*copied.m_cache, source.m_types.CopySlots(*source.m_cache, before + 1, count));
      ASSERT_EQ(copied.m_types.TypeCount(), before + count);
      ASSERT_EQ(copied.m_types.PageCount(), source.m_types.PageCount());
      EXPECT_NE(copied.m_types.PageAt(0).Value(), source.m_types.PageAt(0).Value());
      EXPECT_EQ(copied.m_types.NewSlot(*copied.m_cache), source.m_types.NewSlot(*source.m_cache));
      for (uint32_t index = 1; index <= before + count + 1; ++index) {
        SCOPED_TRACE("index " + std::to_string(index));
        EXPECT_EQ(BytesOf(copied.m_types.GetTypeEntryRaw(*copied.m_cache, index).View()),
                  BytesOf(source.m_types.GetTypeEntryRaw(*source.m_cache, index).View()));
      }
      for (uint32_t ordinal = 0; ordinal < source.m_types.PageCount(); ++ordinal) {
        EXPECT_EQ(copied.m_cache->PinCount(copied.m_types.PageAt(ordinal).PageNumber()),
                  source.m_cache->PinCount(source.m_types.PageAt(ordinal).PageNumber()))
            << "page " << ordinal;
      }
    }
  }
}

// Bytes that are not whole slots are refused with nothing appended.
TEST(TypeDirectoryTest, PartsOfSlotsAreNotAppended) {
  DirectoryUnderTest dut;
  dut.AddSlots(2);
  const std::vector<uint8_t> slots = dut.m_types.CopySlots(*dut.m_cache, 1, 2);
  const auto refused =
      ErrorRaisedBy([&] { dut.m_types.AppendSlots(*dut.m_cache, std::span(slots).first(slots.size() - 1)); });
  EXPECT_EQ(refused.m_severity, kSeverityInternal);
  EXPECT_EQ(dut.m_types.TypeCount(), 2u);
}

TEST(TypeDirectoryTest, ContinuesItsPageAfterThePinWasReleased) {
  DirectoryUnderTest dut;
  dut.AddSlots(5);
  const RecordHandle page = dut.m_types.PageAt(0);
  dut.m_types.ReleasePin(*dut.m_cache);
  EXPECT_EQ(dut.m_cache->PinCount(page.PageNumber()), 0u);
  // Enough other pages that the directory page leaves the cache.
  for (int i = 0; i < 300; ++i) dut.m_other.Reserve(*dut.m_cache, 500);
  ASSERT_FALSE(dut.m_cache->IsResident(page.PageNumber()));
  EXPECT_EQ(dut.m_types.NewSlot(*dut.m_cache), 6u);
  EXPECT_EQ(dut.m_types.GetTypeEntryRaw(*dut.m_cache, 6).Handle().Value(), page.Value() + 5 * 30);
  EXPECT_EQ(dut.m_types.GetTypeEntryRaw(*dut.m_cache, 6).Category(), 11u);
  EXPECT_EQ(dut.m_cache->PinCount(page.PageNumber()), 1u);
  EXPECT_EQ(dut.m_types.PageCount(), 1u);
}

TEST(TypeDirectoryTest, FollowingQualifiedTypes) {
  DirectoryUnderTest dut;
  RecordChainWriter records;
  PageCache& cache = *dut.m_cache;
  dut.AddSlots(12);
  // Makes index a category-5 type with a qualifier record (code, target).
  auto qualify = [&](uint32_t index, uint16_t code, uint32_t target) {
    QualifierTypeRecordView record = QualifierTypeRecordView::Append(cache, records);
    record.SetQualifierCode(code);
    record.SetTarget(target);
    TypeEntryView entry = dut.m_types.GetTypeEntryRaw(cache, index, RecordAccess::Write);
    entry.SetCategory(kTypeQualified);
    entry.SetReference(record.Handle().Value());
  };
  {
    TypeEntryView integer = dut.m_types.GetTypeEntryRaw(cache, 1, RecordAccess::Write);
    integer.SetCategory(kTypePrimitive);
    integer.SetSize(4);
    integer.SetPrimitiveCode(17);
  }
  qualify(2, 1, 3);  // const -> 3
  qualify(3, 3, 1);  // keeps the qualifier -> 1
  qualify(4, 2, 2);  // volatile -> 2
  qualify(5, 0, 1);  // code 0 stops here
  qualify(6, 4, 1);  // code 4 stops here
  qualify(7, 1, 8);  // 7 and 8 refer to each other
  qualify(8, 3, 7);
  qualify(9, 1, 0x80000001u);  // bit 31: index 1
  {
    TypeEntryView broken = dut.m_types.GetTypeEntryRaw(cache, 10, RecordAccess::Write);
    broken.SetCategory(kTypeQualified);
    broken.SetReference(3);  // inside a page's link words
  }
  qualify(11, 2, 40);  // a type that does not exist
  struct Case {
    const char* name;
    uint32_t index;
    uint32_t resultIndex;
    uint32_t qualifier;
    uint32_t number;
  };
  const Case cases[] = {
      {"plain type", 1, 1, 0, 0},
      {"const, then a keeping qualifier", 2, 1, 1, 0},
      {"keeping qualifier first", 3, 1, 0, 0},
      {"volatile, then const", 4, 1, 1, 0},
      {"code 0 stops", 5, 5, 0, 0},
      {"code 4 stops", 6, 6, 0, 0},
      {"a loop of qualified types", 7, 0, 0, 302},
      {"target with bit 31", 9, 1, 1, 0},
      {"qualifier record in the link words", 10, 0, 0, 302},
      {"target past the count", 11, 0, 0, 327},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TypeEntryView result;
    const auto raised = ErrorRaisedBy([&] { result = dut.m_types.GetTypeEntry(cache, c.index); });
    ASSERT_EQ(raised.m_number, c.number);
    if (c.number != 0) continue;
    EXPECT_EQ(result.Handle(), dut.m_types.GetTypeEntryRaw(cache, c.resultIndex).Handle());
    EXPECT_EQ(result.Qualifier(), c.qualifier);
  }
  // Following 4 left the qualifier in force on each entry it passed; the words are in
  // the pages, so they survive the pages leaving the cache.
  dut.m_types.GetTypeEntry(cache, 4);
  dut.m_types.ReleasePin(cache);
  records.ReleasePin(cache);
  for (int i = 0; i < 300; ++i) dut.m_other.Reserve(cache, 500);
  const uint32_t expected[] = {1, 2, 1, 0};  // indices 1, 2, 3, 4
  for (uint32_t index = 1; index <= 4; ++index) {
    SCOPED_TRACE("index " + std::to_string(index));
    EXPECT_EQ(dut.m_types.GetTypeEntryRaw(cache, index).Qualifier(), expected[index - 1]);
  }
}

}  // namespace
}  // namespace zentor
