#include "plugbase/StateSections.h"

#include <algorithm>
#include <utility>

void StateSections::Set(std::uint32_t tag, StateChunk payload) {
  auto it = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) { return s.tag == tag; });
  if (it == sections_.end()) {
    sections_.push_back({tag, std::move(payload)});
  } else {
    it->payload = std::move(payload);
  }
}

const StateChunk* StateSections::Find(std::uint32_t tag) const {
  for (const Section& s : sections_) {
    if (s.tag == tag) return &s.payload;
  }
  return nullptr;
}

bool StateSections::AppendTo(StateChunk& out) const {
  if (sections_.empty()) return true;
  std::int64_t bytes = 0;
  for (const Section& s : sections_) bytes += 8 + s.payload.Size();
  if (bytes > kMaxBytes) return false;
  if (out.AppendTag(kBlockTag) < 0 || out.AppendInt32(kVersion) < 0 ||
      out.AppendInt32(static_cast<std::int32_t>(bytes)) < 0) {
    return false;
  }
  for (const Section& s : sections_) {
    if (out.AppendTag(s.tag) < 0 || out.AppendInt32(s.payload.Size()) < 0 ||
        out.AppendBytes(s.payload.Data(), s.payload.Size()) < 0) {
      return false;
    }
  }
  return true;
}

int StateSections::Read(const StateChunk& in, int pos) {
  sections_.clear();
  version_ = kVersion;
  std::uint32_t blockTag = 0;
  std::int32_t version = 0;
  std::int32_t bytes = 0;
  pos = in.ReadTag(pos, blockTag);
  pos = in.ReadInt32(pos, version);
  pos = in.ReadInt32(pos, bytes);
  if (pos < 0 || blockTag != kBlockTag || version < 1) return -1;
  if (bytes < 0 || bytes > kMaxBytes || bytes > in.Size() - pos) return -1;
  const int end = pos + bytes;
  std::vector<Section> read;
  while (pos < end) {
    Section s;
    std::int32_t size = 0;
    pos = in.ReadTag(pos, s.tag);
    pos = in.ReadInt32(pos, size);
    if (pos < 0 || pos > end || size < 0 || size > end - pos) return -1;
    if (s.payload.AppendBytes(in.Data() + pos, size) < 0) return -1;
    pos += size;
    read.push_back(std::move(s));
  }
  sections_ = std::move(read);
  version_ = version;
  return end;
}
