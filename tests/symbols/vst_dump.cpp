#include "vst_dump.h"

#include <cstdio>
#include <map>
#include <string>

#include "core/dv_error.h"

namespace zentor::testing_support {
namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::string Number(const OrdinalValue& value) {
  char text[32];
  if (value.High() != 0) {
    std::snprintf(text, sizeof text, "0x%x%08x", value.High(), value.Low());
  } else {
    std::snprintf(text, sizeof text, "0x%x", value.Low());
  }
  return text;
}

std::string Address(const AddressDescriptor& address) {
  std::string text;
  if (address.IsNull()) {
    text = "null";
  } else {
    const TargetAddressRecord& r = address.Record();
    text = "c" + std::to_string(r.m_addressClass) + " k" + std::to_string(r.m_addressKind) + " 0x" + Hex(r.m_offset);
  }
  if (!address.Line().IsEmpty()) text += " line " + std::to_string(address.Line().Get());
  return text;
}

std::string Handle(RecordHandle handle) { return handle.IsNone() ? "none" : Hex(handle.Value()); }

std::string TypeIndex(uint32_t index) { return index == 0xFFFFFFFFu ? "-1" : "#" + std::to_string(index); }

std::string Key(PageCache& cache, const SymbolKey& key) {
  if (key.NameHandle().IsNone()) return key.Hash() == 0 ? "-" : "- hash " + Hex(key.Hash());
  const RWCString name = key.NameText(cache);
  std::string text = "\"";
  for (uint32_t i = 0; i < name.length(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name.data()[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      text += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    }
  }
  text += "\"";
  if (key.CaseWord() != 0) text += " case " + std::to_string(key.CaseWord());
  // The stored hash must be the name's hash under the key's case rule.
  if (key.Hash() != NameKey(name, key.CaseWord()).Hash()) text += " BADHASH " + Hex(key.Hash());
  return text;
}

std::string ErrorLine(const DVError& error) { return "error " + std::to_string(error.Number()) + "\n"; }

void DumpSymbolChain(PageCache& cache, RecordHandle start, std::string& out) {
  RecordRef ref;
  ref.Init(start);
  int depth = 1;
  try {
    for (;;) {
      RecordView view = ref.NextSymbolRecord(cache);
      if (view.IsNull()) break;
      const RecordHandle at = view.Handle();
      const uint32_t type = view.U32At(0);
      if (type == kScopeEndRecordType && depth > 1) --depth;
      std::string line = std::string(static_cast<size_t>(depth) * 2, ' ') + "@" + Hex(at.Value()) + " ";
      switch (type) {
        case kBlockRecordType: {
          const BlockRecordView block(std::move(view));
          line += "block enclosing " + Handle(block.Enclosing()) + " start " + Address(block.Start()) + " length " +
                  Number(block.Length());
          ++depth;
          break;
        }
        case kProcedureRecordType: {
          const ProcedureRecordView procedure(std::move(view));
          line += "procedure " + Key(cache, procedure.Name()) + " enclosing " + Handle(procedure.Enclosing()) +
                  " entry " + Address(procedure.Entry()) + " length " + Number(procedure.Length()) + " type " +
                  TypeIndex(procedure.TypeIndex()) + " second " + Number(procedure.SecondValue()) + " attribute " +
                  std::to_string(procedure.Attribute());
          ++depth;
          break;
        }
        case kSymbolRecordType: {
          const SymbolRecordView symbol(std::move(view));
          const AddressExtent location = symbol.Location();
          char flags[8];
          std::snprintf(flags, sizeof flags, "0x%02x", location.m_flags);
          line += "symbol " + Key(cache, symbol.Name()) + " type " + TypeIndex(symbol.TypeIndex()) +
                  (symbol.IsUntranslated() ? " untranslated" : "") + " at " + Address(location.m_address) +
                  " ordinal " + Number(location.m_ordinal) + " flags " + flags + " pending " +
                  std::to_string(symbol.PendingModule());
          break;
        }
        default:
          line += "scope end";
          break;
      }
      out += line + "\n";
    }
    const ChainRecordKind* end = FindChainRecordKind(ref.RecType());
    out += "  end " + std::string(ref.IsOffChain() ? "of pages" : end != nullptr ? end->m_symbolName : "?") +
           (ref.IsOffChain() ? "" : " @" + Hex(ref.Addr().Value())) + "\n";
  } catch (const DVError& error) {
    out += "  " + ErrorLine(error);
  }
}

void DumpList(PageCache& cache, RecordHandle start, std::string& out) {
  RecordRef ref;
  ref.Init(start);
  try {
    for (;;) {
      RecordView element = ref.NextTypeRecord(cache);
      if (element.IsNull()) break;
      switch (element.U32At(0)) {
        case kListNameElementType:
          out += "      name " + Key(cache, SymbolKey::ReadFrom(element, 4)) + "\n";
          break;
        case kListIndexElementType:
          out += "      index " + TypeIndex(element.U32At(4)) + "\n";
          break;
        case kListNumberElementType:
          out += "      number " + Number(element.OrdinalAt(4)) + "\n";
          break;
        default:
          out += "      mark\n";
          break;
      }
    }
    out += ref.IsOffChain() ? "      end of pages\n" : "      end\n";
  } catch (const DVError& error) {
    out += "      " + ErrorLine(error);
  }
}

void DumpTypeReference(PageCache& cache, const TypeEntryView& entry, TypeReferenceKind kind, std::string& out) {
  const RecordHandle reference(entry.Reference());
  if (reference.IsNone()) return;
  try {
    switch (kind) {
      case TypeReferenceKind::QualifierRecord: {
        const auto record = QualifierTypeRecordView::At(cache, reference);
        out += "    qualifier " + std::to_string(record.QualifierCode()) + " target " + TypeIndex(record.Target()) +
               " leaf " + std::to_string(record.LeafCode()) + " value " + Hex(record.LeafValue()) + " high " +
               Hex(record.HighWord()) + "\n";
        break;
      }
      case TypeReferenceKind::ArrayRecord: {
        const auto record = ArrayTypeRecordView::At(cache, reference);
        out += "    array element " + TypeIndex(record.ElementType()) + " index " + TypeIndex(record.IndexType()) +
               " packed " + std::to_string(record.Packed()) + " number " + std::to_string(record.TrailingNumber()) +
               "\n";
        break;
      }
      case TypeReferenceKind::AggregateRecord: {
        const auto record = AggregateTypeRecordView::At(cache, reference);
        const bool handles = entry.Category() == kTypeUnion;
        out += "    lists " + (handles ? Handle(RecordHandle(record.FirstList())) : TypeIndex(record.FirstList())) +
               " " + (handles ? Handle(RecordHandle(record.SecondList())) : TypeIndex(record.SecondList())) +
               " packed " + std::to_string(record.Packed()) + "\n";
        break;
      }
      case TypeReferenceKind::EnumerationRecord: {
        const auto record = EnumerationTypeRecordView::At(cache, reference);
        out += "    enumerators " + TypeIndex(record.EnumeratorList()) + " last " + TypeIndex(record.LastTypeIndex()) +
               "\n";
        break;
      }
      case TypeReferenceKind::SubrangeRecord: {
        const auto record = SubrangeTypeRecordView::At(cache, reference);
        out += "    bounds kind " + std::to_string(record.BoundKind()) + " lower " + Number(record.Lower()) +
               " upper " + Number(record.Upper()) + "\n";
        break;
      }
      case TypeReferenceKind::ListElement:
        out += "    list at " + Handle(reference) + "\n";
        DumpList(cache, reference, out);
        break;
      default:
        break;
    }
  } catch (const DVError& error) {
    out += "    " + ErrorLine(error);
  }
}

void DumpTypes(PageCache& cache, TypeDirectory& types, std::string& out) {
  out += "== types " + std::to_string(types.TypeCount()) + " in " + std::to_string(types.PageCount()) + " pages\n";
  std::map<uint32_t, uint32_t> indexOfSlot;
  for (uint32_t index = 1; index <= types.TypeCount(); ++index) {
    try {
      const TypeEntryView entry = types.GetTypeEntryRaw(cache, index);
      indexOfSlot[entry.Handle().Value()] = index;
      const TypeCategoryInfo* info = FindTypeCategory(entry.Category());
      const TypeReferenceKind kind = info == nullptr ? TypeReferenceKind::None : info->m_reference;
      const bool referenceIsIndex = kind == TypeReferenceKind::TypeIndex || kind == TypeReferenceKind::PrimitivePointer;
      out += "#" + std::to_string(index) + " @" + Hex(entry.Handle().Value()) + " " +
             (info == nullptr ? "category " + std::to_string(entry.Category()) : std::string(info->m_name)) +
             " size " + std::to_string(entry.Size()) + " code " + std::to_string(entry.PrimitiveCode()) + " name " +
             Key(cache, entry.Name()) + " ref " +
             (referenceIsIndex ? TypeIndex(entry.Reference()) : Handle(RecordHandle(entry.Reference()))) +
             " qualifier " + std::to_string(entry.Qualifier()) + "\n";
      DumpTypeReference(cache, entry, kind, out);
    } catch (const DVError& error) {
      out += "#" + std::to_string(index) + " " + ErrorLine(error);
    }
  }
  out += "== qualified types followed\n";
  for (uint32_t index = 1; index <= types.TypeCount(); ++index) {
    try {
      if (types.GetTypeEntryRaw(cache, index).Category() != kTypeQualified) continue;
      const TypeEntryView followed = types.GetTypeEntry(cache, index);
      const auto found = indexOfSlot.find(followed.Handle().Value());
      out += "#" + std::to_string(index) + " -> " +
             (found == indexOfSlot.end() ? "?" : "#" + std::to_string(found->second)) + " qualifier " +
             std::to_string(followed.Qualifier()) + "\n";
    } catch (const DVError& error) {
      out += "#" + std::to_string(index) + " " + ErrorLine(error);
    }
  }
}

}  // namespace

std::string DumpVst(const VstDumpSource& source) {
  PageCache& cache = *source.m_cache;
  std::string out = "== file " + std::to_string(cache.PageCountInFile()) + " pages\n";
  out += "== global symbols from " + Handle(source.m_globalChain) + "\n";
  if (!source.m_globalChain.IsNone()) DumpSymbolChain(cache, source.m_globalChain, out);
  for (const auto& [name, first] : source.m_modules) {
    out += "== module " + name + " from " + Handle(first) + "\n";
    if (!first.IsNone()) DumpSymbolChain(cache, first, out);
  }
  if (source.m_types != nullptr) DumpTypes(cache, *source.m_types, out);
  return out;
}

}  // namespace zentor::testing_support
