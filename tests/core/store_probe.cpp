// A separate process on a preference database, driven by the process tests.
//
//   write-loop FILE [PREFIX [COUNT]]  "ready" once open; then integer i under PREFIX+"k<i>"
//                                     for i = 0, 1, ..., on every 4th also the blob of i
//                                     under PREFIX+"blob", and "ack <i>" once both returned.
//                                     Endless without COUNT.
//   count FILE                      the relevant-action counter twice: "<first> <second> <stored>"
//   get FILE KEY                    the text under KEY; exit 1 when there is none
//   set FILE KEY VALUE              stores VALUE as text
//
// Exit 2: the database did not open; 3: a write failed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kavrano/core/sqlite_preference_store.h"
#include "kavrano/core/user_settings.h"
#include "probe_blob.h"

namespace {

using kavrano::SqlitePreferenceStore;

int usage() {
  std::fputs(
      "usage: kavrano_store_probe write-loop FILE [PREFIX [COUNT]] | count FILE | get FILE KEY | set FILE KEY VALUE\n",
      stderr);
  return 64;
}

int writeLoop(SqlitePreferenceStore& store, const std::string& prefix, long long count) {
  std::puts("ready");
  std::fflush(stdout);
  for (std::int64_t i = 0; count < 0 || i < count; ++i) {
    store.setInteger(i, prefix + "k" + std::to_string(i));
    if (store.lastWriteSucceeded() && i % kavrano::probe::kBlobEvery == 0) {
      store.setData(kavrano::probe::makeBlob(i), prefix + "blob");
    }
    if (!store.lastWriteSucceeded()) {
      std::printf("fail %lld\n", static_cast<long long>(i));
      return 3;
    }
    // Unbuffered in effect: the reader must never see an ack for a write that has not returned.
    std::printf("ack %lld\n", static_cast<long long>(i));
    std::fflush(stdout);
  }
  std::puts("done");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string mode = argv[1];
  std::string error;
  auto store = SqlitePreferenceStore::open(argv[2], &error);
  if (!store) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  if (mode == "write-loop" && argc <= 5) {
    return writeLoop(*store, argc >= 4 ? argv[3] : "", argc == 5 ? std::atoll(argv[4]) : -1);
  }
  if (mode == "count" && argc == 3) {
    const bool first = kavrano::countRelevantAction(*store, kavrano::kRelevantActionCountKey);
    const bool second = kavrano::countRelevantAction(*store, kavrano::kRelevantActionCountKey);
    std::printf("%s %s %lld\n", first ? "true" : "false", second ? "true" : "false",
                static_cast<long long>(store->integerForKey(kavrano::kRelevantActionCountKey)));
    return store->lastWriteSucceeded() ? 0 : 3;
  }
  if (mode == "get" && argc == 4) {
    const auto text = store->stringForKey(argv[3]);
    if (!text) return 1;
    std::printf("%s\n", text->c_str());
    return 0;
  }
  if (mode == "set" && argc == 5) {
    store->setString(argv[4], argv[3]);
    return store->lastWriteSucceeded() ? 0 : 3;
  }
  return usage();
}
