#include "xml_document.h"

#include <vector>

namespace kavrano::interop {

XmlDocument::XmlDocument(std::string_view bytes) : text_(checkedText(bytes)), lines_(text_) {
  // Line ends are normalised as XML requires; a CR in a value is one written as &#13;.
  // A name of spaces alone is still a name.
  // pugixml decodes in place, so node offsets still count the file's own lines.
  constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                pugi::parse_doctype | pugi::parse_eol | pugi::parse_ws_pcdata_single;
  const auto result = document_.load_buffer(text_.data(), text_.size(), kOptions, pugi::encoding_utf8);
  if (!result) {
    throw ImportFailure{lines_.lineAt(static_cast<std::size_t>(result.offset)),
                        std::string("the XML is malformed: ") + result.description()};
  }
  // The tree is walked without recursion here: this is the check that makes
  // recursion safe everywhere else.
  std::vector<std::pair<pugi::xml_node, std::size_t>> pending{{document_, 0}};
  while (!pending.empty()) {
    const auto [node, depth] = pending.back();
    pending.pop_back();
    if (node.type() == pugi::node_doctype) {
      throw ImportFailure{lineOf(node), "a DOCTYPE is not accepted: these formats need none"};
    }
    if (depth > kMaxNestingDepth) {
      throw ImportFailure{lineOf(node),
                          "elements are nested deeper than " + std::to_string(kMaxNestingDepth) + " levels"};
    }
    for (auto child = node.first_child(); child; child = child.next_sibling()) pending.emplace_back(child, depth + 1);
  }
}

std::size_t XmlDocument::lineOf(pugi::xml_node node) {
  const std::ptrdiff_t offset = node.offset_debug();
  return offset < 0 ? 0 : lines_.lineAt(static_cast<std::size_t>(offset));
}

std::string_view localName(pugi::xml_node element) {
  const std::string_view name = element.name();
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view namespaceOf(pugi::xml_node element) {
  const std::string_view name = element.name();
  const auto colon = name.find(':');
  const std::string attribute =
      colon == std::string_view::npos ? std::string("xmlns") : "xmlns:" + std::string(name.substr(0, colon));
  for (auto node = element; node; node = node.parent()) {
    if (const auto declared = node.attribute(attribute.c_str())) return declared.value();
  }
  return {};
}

std::string textOf(pugi::xml_node element) {
  std::string text;
  for (auto child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
  }
  return text;
}

pugi::xml_node childIn(pugi::xml_node element, std::string_view uri, std::string_view name) {
  for (auto child = element.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && localName(child) == name && namespaceOf(child) == uri) return child;
  }
  return {};
}

}  // namespace kavrano::interop
