#include "kavrano/qt_places/place_name_folder.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace kavrano {

namespace {

// Letters with a stroke or ligatures: no canonical decomposition, so removing
// combining marks leaves them alone, yet people type the plain letters.
struct PlainSpelling {
  UChar32 letter;
  const char16_t* plain;
};
constexpr PlainSpelling kPlainSpellings[] = {
    {0x00D8, u"o"},  {0x00F8, u"o"},  {0x0141, u"l"},  {0x0142, u"l"},   // Ø ø Ł ł
    {0x0110, u"d"},  {0x0111, u"d"},  {0x00D0, u"d"},  {0x00F0, u"d"},   // Đ đ Ð ð
    {0x0126, u"h"},  {0x0127, u"h"},  {0x0131, u"i"},                    // Ħ ħ ı
    {0x00C6, u"ae"}, {0x00E6, u"ae"}, {0x0152, u"oe"}, {0x0153, u"oe"},  // Æ æ Œ œ
    {0x00DE, u"th"}, {0x00FE, u"th"}, {0x00DF, u"ss"}, {0x1E9E, u"ss"},  // Þ þ ß ẞ
    {0x014A, u"n"},  {0x014B, u"n"},  {0x0166, u"t"},  {0x0167, u"t"},   // Ŋ ŋ Ŧ ŧ
};

const char16_t* plainSpelling(UChar32 c) {
  for (const auto& p : kPlainSpellings) {
    if (p.letter == c) return p.plain;
  }
  return nullptr;
}

bool isDropped(UChar32 c) {
  switch (u_charType(c)) {
    case U_NON_SPACING_MARK:
    case U_ENCLOSING_MARK:
    case U_FORMAT_CHAR:
      return true;
    default:
      break;
  }
  // Apostrophes (N'Djamena, ʻOkina in Hawaiian names) and dots (St. Louis) are
  // often left out when typing.
  switch (c) {
    case u'\'':
    case u'`':
    case u'.':
    case 0x00B4:
    case 0x02BB:
    case 0x02BC:
    case 0x02BD:
    case 0x2018:
    case 0x2019:
    case 0x201B:
      return true;
    default:
      return false;
  }
}

bool isSpace(UChar32 c) { return u_isUWhiteSpace(c) || u_charType(c) == U_DASH_PUNCTUATION || c == u'_'; }

}  // namespace

std::string PlaceNameFolder::fold(std::string_view utf8) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) return {};
  icu::UnicodeString decomposed = nfd->normalize(
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size()))), status);
  if (U_FAILURE(status)) return {};

  icu::UnicodeString folded;
  bool pendingSpace = false;
  for (int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1)) {
    const UChar32 c = decomposed.char32At(i);
    if (c == 0xFFFD) continue;  // what fromUTF8 made of invalid bytes
    if (isSpace(c)) {
      pendingSpace = !folded.isEmpty();
      continue;
    }
    if (isDropped(c)) continue;
    if (pendingSpace) {
      folded.append(u' ');
      pendingSpace = false;
    }
    if (const char16_t* plain = plainSpelling(c)) {
      folded.append(plain);
    } else {
      folded.append(u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
  }
  std::string out;
  folded.toUTF8String(out);
  return out;
}

}  // namespace kavrano
