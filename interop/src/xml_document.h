#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "import_checks.h"

namespace kavrano::interop {

/// An untrusted XML file, parsed by pugixml, which never reads a DTD nor any entity
/// beyond the five predefined and character references. Construction throws
/// ImportFailure for text that is too large, not UTF-8 or malformed, nested deeper
/// than kMaxNestingDepth, or that carries a DOCTYPE at all.
class XmlDocument {
 public:
  explicit XmlDocument(std::string_view bytes);
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  [[nodiscard]] pugi::xml_node root() const { return document_.document_element(); }
  /// The line where `node` starts, from 1.
  [[nodiscard]] std::size_t lineOf(pugi::xml_node node);
  [[nodiscard]] std::size_t lineAtOffset(std::size_t offset) { return lines_.lineAt(offset); }

 private:
  std::string_view text_;
  pugi::xml_document document_;
  LineCounter lines_;
};

/// The element's name without its prefix.
[[nodiscard]] std::string_view localName(pugi::xml_node element);
/// The namespace its prefix (or the default) is bound to; empty when none is.
[[nodiscard]] std::string_view namespaceOf(pugi::xml_node element);
/// All character data directly inside `element` (text and CDATA), joined.
[[nodiscard]] std::string textOf(pugi::xml_node element);
/// The first child element named `name` in namespace `uri`, or a null node.
[[nodiscard]] pugi::xml_node childIn(pugi::xml_node element, std::string_view uri, std::string_view name);

}  // namespace kavrano::interop
