// The tag records of the file inputs: TAuTags, a keyed store of values, and the records
// built on it. TId3v2Tags is the one the program reads (Artist, Track, Genre...); the
// media input fills its seven filled fields at every successful open (mp3_in.h).
//
// Keys are texts, sorted and compared without regard to letter case, each present at most
// once. A value is empty, an integer or a text. Only registered keys can hold values:
// setting an unknown key does nothing.
//
// Text is UTF-8, except the 8-bit fields of TId3v2Tags (Track, Year), which hold
// Windows-1251 bytes, the program's 8-bit text: convert with Cp1251ToUtf8 to show them.
//
// Threads: every method may be called from any thread; the record locks itself. A value
// read is a copy, consistent on its own (fields read one by one may straddle a refill by
// an open on another thread; the program reads after the open it caused).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/mutex.h"
#include "base/thread_annotations.h"

namespace kalvira {

class TAuTags {
 public:
  using Value = std::variant<std::monostate, std::int64_t, std::string>;

  TAuTags() = default;
  virtual ~TAuTags() = default;
  TAuTags(const TAuTags&) = delete;
  TAuTags& operator=(const TAuTags&) = delete;

  bool HasKey(std::string_view key) const EXCLUDES(mu_);
  // The registered keys in their order (letter case ignored), as registered.
  std::vector<std::string> Keys() const EXCLUDES(mu_);

  // The value of `key`; empty when the key is not registered.
  Value Get(std::string_view key) const EXCLUDES(mu_);
  // Stores `value` when `key` is registered and the value differs from the stored one.
  // Returns whether the stored value changed.
  bool Set(std::string_view key, Value value) EXCLUDES(mu_);
  // The value as text: empty text for an empty value, the decimal digits of an integer,
  // the text of a text.
  std::string GetText(std::string_view key) const EXCLUDES(mu_);

 protected:
  // Registers `key` with an empty value; nothing when it is registered already.
  void AddKey(std::string_view key) EXCLUDES(mu_);

 private:
  struct FoldedLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  struct Entry {
    std::string key;  // as registered
    Value value;
  };

  mutable Mutex mu_;
  std::map<std::string, Entry, FoldedLess> entries_ GUARDED_BY(mu_);
};

// The ID3v2 record: 24 keys, the three- and four-letter frame identifiers of twelve
// fields; the properties read and write the four-letter keys.
class TId3v2Tags : public TAuTags {
 public:
  TId3v2Tags();

  std::string Album() const { return GetText("TALB"); }
  void SetAlbum(std::string value) { Set("TALB", std::move(value)); }
  std::string Artist() const { return GetText("TPE1"); }
  void SetArtist(std::string value) { Set("TPE1", std::move(value)); }
  std::string Genre() const { return GetText("TCON"); }
  void SetGenre(std::string value) { Set("TCON", std::move(value)); }
  std::string Title() const { return GetText("TIT2"); }
  void SetTitle(std::string value) { Set("TIT2", std::move(value)); }
  // 8-bit text (Windows-1251 bytes).
  std::string Track() const { return GetText("TRCK"); }
  void SetTrack(std::string cp1251) { Set("TRCK", std::move(cp1251)); }
  // 8-bit text (Windows-1251 bytes).
  std::string Year() const { return GetText("TYER"); }
  void SetYear(std::string cp1251) { Set("TYER", std::move(cp1251)); }
  std::string Comment() const { return GetText("COMM"); }
  void SetComment(std::string value) { Set("COMM", std::move(value)); }
  std::string Composer() const { return GetText("TCOM"); }
  void SetComposer(std::string value) { Set("TCOM", std::move(value)); }
  std::string Encoder() const { return GetText("TENC"); }
  void SetEncoder(std::string value) { Set("TENC", std::move(value)); }
  std::string Copyright() const { return GetText("TCOP"); }
  void SetCopyright(std::string value) { Set("TCOP", std::move(value)); }
  std::string Language() const { return GetText("TLAN"); }
  void SetLanguage(std::string value) { Set("TLAN", std::move(value)); }
  std::string Link() const { return GetText("WXXX"); }
  void SetLink(std::string value) { Set("WXXX", std::move(value)); }
};

// The ID3v1 and APEv2 records a tagged file input owns beside TId3v2Tags. The media input
// never fills them and the program never reads them; they register no keys.
class TId3v1Tags : public TAuTags {};
class TAPEv2Tags : public TAuTags {};

}  // namespace kalvira
