// The archive directory: the container layout, lookup rules and lazy materialisation.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "texgen/generator.h"

namespace {

// One entry in the stored layout: key, type, little-endian length, payload.
void appendEntry(std::vector<uint8_t>* blob, const char* key, char type, const std::vector<uint8_t>& payload) {
  blob->insert(blob->end(), key, key + 4);
  blob->push_back(static_cast<uint8_t>(type));
  const uint32_t n = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) blob->push_back(static_cast<uint8_t>(n >> (8 * i)));
  blob->insert(blob->end(), payload.begin(), payload.end());
}

constexpr FourCC kOne = makeFourCC('O', 'N', 'E', '1');

class ArchiveTest : public ::testing::Test {
 protected:
  void TearDown() override { releaseArchive(); }
  void load(const std::vector<uint8_t>& blob) { loadArchive(blob.data(), blob.size()); }
};

}  // namespace

TEST(FourCCKey, StoredBytesReadLittleEndian) {
  EXPECT_EQ(makeFourCC('R', 'U', 'L', 'L'), 0x4C4C5552u);
  EXPECT_EQ(fourCCText(0x4C4C5552u), "RULL");
}

TEST_F(ArchiveTest, DirectoryKeepsOrderKeysTypesAndStoredCopies) {
  std::vector<uint8_t> blob = {3};
  appendEntry(&blob, "ONE1", 'R', {1, 2, 3});
  appendEntry(&blob, "TWO2", 'M', {4, 5});
  appendEntry(&blob, "XXXX", 'Q', {6});
  load(blob);
  ASSERT_EQ(archiveEntryCount(), 3);
  const ArchiveEntry* first = archiveEntryAt(0);
  EXPECT_EQ(first->key, kOne);
  EXPECT_EQ(first->type, 'R');
  EXPECT_EQ(first->storedSize, 3);
  EXPECT_EQ(first->ready, 0);
  EXPECT_EQ(first->data, nullptr);
  EXPECT_EQ(first->pictureSize, 0u);
  EXPECT_EQ(std::memcmp(first->storedData, "\x01\x02\x03", 3), 0);
  EXPECT_NE(first->storedData, blob.data() + 10);  // a private copy
  EXPECT_EQ(archiveEntryAt(2)->type, 'Q');
  EXPECT_EQ(archiveEntryAt(3), nullptr);
}

TEST_F(ArchiveTest, RawEntriesMaterialiseOnceAsCopies) {
  std::vector<uint8_t> blob = {2};
  appendEntry(&blob, "ONE1", 'R', {1, 2, 3});
  appendEntry(&blob, "TWO2", 'M', {4, 5});
  load(blob);
  ArchiveEntry* entry = findEntry(kOne);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->ready, 1);
  EXPECT_EQ(entry->dataSize, 3);
  EXPECT_EQ(std::memcmp(entry->data, "\x01\x02\x03", 3), 0);
  EXPECT_EQ(entry->storedData, nullptr);
  EXPECT_EQ(entry->storedSize, 0);
  const uint8_t* data = entry->data;
  EXPECT_EQ(findEntry(kOne), entry);  // found again, not decoded again
  EXPECT_EQ(entry->data, data);
  EXPECT_EQ(entry->storedSize, 0);
  const ArchiveEntry* m = findEntry(makeFourCC('T', 'W', 'O', '2'));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->dataSize, 2);
  EXPECT_EQ(std::memcmp(m->data, "\x04\x05", 2), 0);
}

TEST_F(ArchiveTest, DuplicateKeysFindOnlyTheFirst) {
  std::vector<uint8_t> blob = {2};
  appendEntry(&blob, "ONE1", 'R', {7});
  appendEntry(&blob, "ONE1", 'R', {8});
  load(blob);
  EXPECT_EQ(findEntry(kOne), archiveEntryAt(0));
  EXPECT_EQ(findEntry(kOne)->data[0], 7);
  EXPECT_EQ(archiveEntryAt(1)->ready, 0);
}

TEST_F(ArchiveTest, EmptyAndUnknownEntriesAreReadyWithoutData) {
  std::vector<uint8_t> blob = {2};
  appendEntry(&blob, "ONE1", 'R', {});
  appendEntry(&blob, "XXXX", 'Q', {1, 2, 3});
  load(blob);
  const ArchiveEntry* empty = findEntry(kOne);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->data, nullptr);
  EXPECT_EQ(empty->dataSize, 0);
  EXPECT_EQ(empty->ready, 1);
  const ArchiveEntry* unknown = findEntry(makeFourCC('X', 'X', 'X', 'X'));
  ASSERT_NE(unknown, nullptr);
  EXPECT_EQ(unknown->data, nullptr);
  EXPECT_EQ(unknown->dataSize, 0);
  EXPECT_EQ(unknown->ready, 1);
  EXPECT_EQ(unknown->storedData, nullptr);
}

TEST_F(ArchiveTest, AbsentKeysAndEmptyArchivesFindNothing) {
  std::vector<uint8_t> blob = {1};
  appendEntry(&blob, "ONE1", 'R', {1});
  load(blob);
  EXPECT_EQ(findEntry(makeFourCC('N', 'O', 'N', 'E')), nullptr);
  EXPECT_EQ(archiveEntryAt(0)->ready, 0);  // nothing materialised on the way
  load({0});
  EXPECT_EQ(archiveEntryCount(), 0);
  EXPECT_EQ(findEntry(kOne), nullptr);
  load({});
  EXPECT_EQ(findEntry(kOne), nullptr);
}

TEST_F(ArchiveTest, TruncatedBlobEndsTheDirectory) {
  std::vector<uint8_t> blob = {3};
  appendEntry(&blob, "ONE1", 'R', {1, 2});
  appendEntry(&blob, "TWO2", 'R', {3, 4, 5, 6});
  blob.resize(blob.size() - 1);  // the second payload is one byte short; the third entry is missing
  load(blob);
  EXPECT_EQ(archiveEntryCount(), 1);
  EXPECT_EQ(findEntry(makeFourCC('T', 'W', 'O', '2')), nullptr);
  ASSERT_NE(findEntry(kOne), nullptr);
}

TEST_F(ArchiveTest, TextureEntriesRunTheirProgram) {
  buildCosineTable();
  // One Fill (op 6) of 0x12345678 into layer 0 with all channels.
  std::vector<uint8_t> program = {1, 6, 15, '=', 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> blob = {1};
  appendEntry(&blob, "TEX1", 'T', program);
  load(blob);
  const ArchiveEntry* entry = findEntry(makeFourCC('T', 'E', 'X', '1'));
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(entry->dataSize, 262144);
  for (int i = 0; i < 65536; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, entry->data + 4 * i, 4);
    ASSERT_EQ(pixel, 0x12345678u) << i;
  }
}
