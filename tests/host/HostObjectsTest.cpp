#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "host/ComponentHandler.h"
#include "host/HostApplication.h"
#include "host/HostStrings.h"
#include "host/MemoryStream.h"
#include "host/ParameterChanges.h"

using namespace mirel::host;
using Steinberg::IBStream;
using Steinberg::int32;
using Steinberg::int64;
using Steinberg::kInvalidArgument;
using Steinberg::kResultFalse;
using Steinberg::kResultOk;

namespace {

std::vector<std::uint8_t> Bytes(int n) {
  std::vector<std::uint8_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i + 1);
  return v;
}

TEST(MemoryStream, WriteSeekReadRoundTrip) {
  auto s = MakeHostObject<MemoryStream>();
  std::uint8_t out[6] = {1, 2, 3, 4, 5, 6};
  int32 written = -1;
  EXPECT_EQ(s->write(out, 6, &written), kResultOk);
  EXPECT_EQ(written, 6);
  int64 pos = -1;
  EXPECT_EQ(s->tell(&pos), kResultOk);
  EXPECT_EQ(pos, 6);

  int64 result = -1;
  EXPECT_EQ(s->seek(2, IBStream::kIBSeekSet, &result), kResultOk);
  EXPECT_EQ(result, 2);
  std::uint8_t in[3] = {};
  int32 read = -1;
  EXPECT_EQ(s->read(in, 3, &read), kResultOk);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(in[0], 3);
  EXPECT_EQ(in[2], 5);

  EXPECT_EQ(s->seek(-1, IBStream::kIBSeekCur, &result), kResultOk);
  EXPECT_EQ(result, 4);
  EXPECT_EQ(s->seek(-2, IBStream::kIBSeekEnd, &result), kResultOk);
  EXPECT_EQ(result, 4);
  // Overwrite in the middle, then grow past the end.
  std::uint8_t more[4] = {9, 9, 9, 9};
  EXPECT_EQ(s->write(more, 4, &written), kResultOk);
  EXPECT_EQ(s->Data(), (std::vector<std::uint8_t>{1, 2, 3, 4, 9, 9, 9, 9}));
}

TEST(MemoryStream, ReadAtEndIsShortAndReportsIt) {
  auto s = MakeHostObject<MemoryStream>(Bytes(5));
  std::uint8_t in[8] = {};
  int32 read = -1;
  EXPECT_EQ(s->read(in, 8, &read), kResultFalse);
  EXPECT_EQ(read, 5);
  EXPECT_EQ(s->Position(), 5);
  EXPECT_EQ(s->read(in, 4, &read), kResultFalse);
  EXPECT_EQ(read, 0);
  // Reading nothing is always fine, also at the end.
  EXPECT_EQ(s->read(in, 0, &read), kResultOk);

  // Some streams answer success with a short count; the host can imitate them.
  s->Rewind();
  s->SetEndOfDataResult(kResultOk);
  EXPECT_EQ(s->read(in, 8, &read), kResultOk);
  EXPECT_EQ(read, 5);
}

TEST(MemoryStream, PerReadLimitDeliversPiecesWithSuccess) {
  auto s = MakeHostObject<MemoryStream>(Bytes(10));
  s->SetMaxBytesPerRead(3);
  std::uint8_t in[10] = {};
  int32 read = -1;
  EXPECT_EQ(s->read(in, 10, &read), kResultOk);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(s->read(in + 3, 7, &read), kResultOk);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(s->read(in + 6, 7, &read), kResultOk);  // limit, not the end, cut it
  EXPECT_EQ(read, 3);
  EXPECT_EQ(s->read(in + 9, 7, &read), kResultFalse);  // the data ended
  EXPECT_EQ(read, 1);
  EXPECT_EQ(std::vector<std::uint8_t>(in, in + 10), Bytes(10));
  EXPECT_EQ(s->ReadCalls(), 4);
}

TEST(MemoryStream, BadArgumentsAreRefusedWithoutMoving) {
  auto s = MakeHostObject<MemoryStream>(Bytes(4));
  int64 result = -1;
  EXPECT_EQ(s->seek(-1, IBStream::kIBSeekSet, &result), kInvalidArgument);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(s->seek(2, 7, &result), kInvalidArgument);
  EXPECT_EQ(s->seek(INT64_MAX, IBStream::kIBSeekEnd, &result), kInvalidArgument);
  EXPECT_EQ(s->Position(), 0);
  int32 n = -1;
  EXPECT_EQ(s->read(nullptr, 4, &n), kInvalidArgument);
  EXPECT_EQ(n, 0);
  std::uint8_t b = 0;
  EXPECT_EQ(s->read(&b, -1, &n), kInvalidArgument);
  EXPECT_EQ(s->write(&b, -1, &n), kInvalidArgument);
  EXPECT_EQ(s->tell(nullptr), kInvalidArgument);
  // Null count pointers are allowed.
  EXPECT_EQ(s->read(&b, 1, nullptr), kResultOk);
  EXPECT_EQ(b, 1);
}

TEST(MemoryStream, WritePastEndZeroFillsAndCapacityCutsWrites) {
  auto s = MakeHostObject<MemoryStream>();
  EXPECT_EQ(s->seek(3, IBStream::kIBSeekSet, nullptr), kResultOk);
  std::uint8_t v[2] = {7, 8};
  EXPECT_EQ(s->write(v, 2, nullptr), kResultOk);
  EXPECT_EQ(s->Data(), (std::vector<std::uint8_t>{0, 0, 0, 7, 8}));

  auto small = MakeHostObject<MemoryStream>();
  small->SetCapacity(3);
  int32 written = -1;
  std::uint8_t four[4] = {1, 2, 3, 4};
  EXPECT_EQ(small->write(four, 4, &written), kResultFalse);
  EXPECT_EQ(written, 3);
  EXPECT_EQ(small->Data().size(), 3u);
  EXPECT_EQ(small->write(four, 1, &written), kResultFalse);
  EXPECT_EQ(written, 0);
}

TEST(MemoryStream, AnswersOnlyItsInterfacesAndCountsReferences) {
  auto s = MakeHostObject<MemoryStream>();
  void* obj = nullptr;
  EXPECT_EQ(s->queryInterface(IBStream::iid, &obj), kResultOk);
  EXPECT_EQ(obj, static_cast<IBStream*>(s.get()));
  EXPECT_EQ(s->RefCount(), 2u);
  s->release();
  EXPECT_EQ(s->queryInterface(Steinberg::Vst::IComponentHandler::iid, &obj), Steinberg::kNoInterface);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(s->RefCount(), 1u);
}

TEST(ParamValueQueue, KeepsPointsOrderedAndReplacesSameOffset) {
  auto q = MakeHostObject<ParamValueQueue>(7u);
  int32 index = -1;
  EXPECT_EQ(q->addPoint(10, 0.5, index), kResultOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(q->addPoint(0, 0.1, index), kResultOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(q->addPoint(20, 0.9, index), kResultOk);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(q->addPoint(10, 0.6, index), kResultOk);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(q->addPoint(-1, 0.6, index), kInvalidArgument);
  ASSERT_EQ(q->getPointCount(), 3);
  EXPECT_EQ(q->getParameterId(), 7u);

  const int32 offsets[] = {0, 10, 20};
  const double values[] = {0.1, 0.6, 0.9};
  for (int32 i = 0; i < 3; ++i) {
    int32 offset = -1;
    double value = -1;
    EXPECT_EQ(q->getPoint(i, offset, value), kResultOk);
    EXPECT_EQ(offset, offsets[i]);
    EXPECT_EQ(value, values[i]);
  }
  int32 offset = 123;
  double value = 4.5;
  EXPECT_EQ(q->getPoint(3, offset, value), kResultFalse);
  EXPECT_EQ(q->getPoint(-1, offset, value), kResultFalse);
  EXPECT_EQ(offset, 123);
  EXPECT_EQ(value, 4.5);
}

TEST(ParameterChanges, OneQueuePerIdInOrderOfFirstUse) {
  auto changes = MakeHostObject<ParameterChanges>();
  changes->Add(4, 0.25);
  changes->Add(0x62706173, 1.0);
  changes->Add(4, 0.75, 32);
  ASSERT_EQ(changes->getParameterCount(), 2);
  EXPECT_EQ(changes->getParameterData(0)->getParameterId(), 4u);
  EXPECT_EQ(changes->getParameterData(0)->getPointCount(), 2);
  EXPECT_EQ(changes->getParameterData(1)->getParameterId(), 0x62706173u);
  EXPECT_EQ(changes->getParameterData(2), nullptr);
  EXPECT_EQ(changes->getParameterData(-1), nullptr);

  int32 index = -1;
  Steinberg::Vst::IParamValueQueue* again = changes->addParameterData(4, index);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(again, changes->getParameterData(0));

  changes->Clear();
  EXPECT_EQ(changes->getParameterCount(), 0);
}

TEST(ComponentHandler, RecordsCallsInOrder) {
  auto h = MakeHostObject<RecordingComponentHandler>();
  h->beginEdit(3);
  h->performEdit(3, 0.25);
  h->performEdit(3, 0.5);
  h->endEdit(3);
  h->restartComponent(8);
  using K = HandlerCall::Kind;
  const std::vector<HandlerCall> expected = {
      {K::kBegin, 3, 0, 0}, {K::kPerform, 3, 0.25, 0}, {K::kPerform, 3, 0.5, 0},
      {K::kEnd, 3, 0, 0},   {K::kRestart, 0, 0, 8}};
  EXPECT_EQ(h->Calls(), expected);
  h->Clear();
  EXPECT_TRUE(h->Calls().empty());
}

TEST(HostApplication, NameIsUtf16AndTruncatedTo127Units) {
  auto app = MakeHostObject<HostApplication>("mirel-render");
  Steinberg::Vst::String128 name;
  std::memset(name, 0xFF, sizeof name);
  EXPECT_EQ(app->getName(name), kResultOk);
  EXPECT_EQ(ToUtf8(name), "mirel-render");

  auto longApp = MakeHostObject<HostApplication>(std::string(300, 'x'));
  EXPECT_EQ(longApp->getName(name), kResultOk);
  EXPECT_EQ(name[127], 0);
  EXPECT_EQ(ToUtf8(name).size(), 127u);

  void* obj = reinterpret_cast<void*>(1);
  Steinberg::TUID id{};
  EXPECT_EQ(app->createInstance(id, id, &obj), kResultFalse);
  EXPECT_EQ(obj, nullptr);
}

TEST(HostStrings, Utf8AndUtf16RoundTrip) {
  const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x8E\xB5";  // umlaut, euro, note
  Steinberg::char16 field[128];
  ToUtf16(text, field);
  EXPECT_EQ(ToUtf8(field), text);
  Steinberg::char16 small[4];
  ToUtf16("abcdef", small, 4);
  EXPECT_EQ(ToUtf8(small), "abc");
  // A field too short for the whole of a surrogate pair keeps neither half.
  Steinberg::char16 cut[3];
  ToUtf16("a\xF0\x9F\x8E\xB5", cut, 3);
  EXPECT_EQ(cut[0], u'a');
  EXPECT_EQ(cut[1], 0);
  // Byte sequences beyond U+10FFFF or encoding a surrogate become U+FFFD.
  EXPECT_EQ(ToU16("\xF7\xBF\xBF\xBFx"), u"\xFFFDx");
  EXPECT_EQ(ToU16("\xED\xA0\x80"), u"\xFFFD");
  const char fixed[4] = {'a', 'b', 'c', 'd'};  // no terminator
  EXPECT_EQ(FixedField(fixed, 4), "abcd");
  EXPECT_EQ(FixedField("ab\0cd", 5), "ab");
}

}  // namespace
