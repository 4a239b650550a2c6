#include "Documents.h"

#include <algorithm>
#include <climits>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

namespace tallowick::agent {

namespace {

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct XPathContextFree {
    void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct XPathObjectFree {
    void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

Doc parse(std::string_view bytes, const char* name) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return nullptr;
    return Doc(
        xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), name, nullptr, kParseOptions));
}

const xmlChar* xml(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

// The elements an XPath expression selects, in document order.
std::vector<xmlNode*> select(xmlDoc* doc, const char* expression) {
    std::vector<xmlNode*> nodes;
    std::unique_ptr<xmlXPathContext, XPathContextFree> context(xmlXPathNewContext(doc));
    if (!context)
        return nodes;
    std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
        xmlXPathEvalExpression(xml(expression), context.get()));
    if (!result || !result->nodesetval)
        return nodes;
    for (int i = 0; i < result->nodesetval->nodeNr; ++i)
        if (xmlNode* n = result->nodesetval->nodeTab[i]; n && n->type == XML_ELEMENT_NODE)
            nodes.push_back(n);
    return nodes;
}

std::string attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, xml(name));
    if (!value)
        return {};
    std::string out(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return out;
}

} // namespace

bool isPlainName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '+' || c == '-';
    });
}

ServerDescription readServerDescription(std::string_view bytes) {
    ServerDescription d;
    Doc doc = parse(bytes, "Description.xml");
    if (!doc || !xmlDocGetRootElement(doc.get()))
        return d;
    d.wellFormed = true;
    d.failureForm = !select(doc.get(), "//Flag").empty();
    if (!d.failureForm)
        for (xmlNode* file : select(doc.get(), "//UpdateFile"))
            d.filenames.push_back(attribute(file, "Filename"));
    return d;
}

std::string failureDescription(int flag, const std::string& errMsg) {
    Doc doc(xmlNewDoc(xml("1.0")));
    xmlNode* root = xmlNewNode(nullptr, xml("UpdateInfo"));
    xmlDocSetRootElement(doc.get(), root);
    xmlNewTextChild(root, nullptr, xml("Flag"), xml(std::to_string(flag).c_str()));
    // xmlNewTextChild escapes the text it is given.
    xmlNewTextChild(root, nullptr, xml("ErrMsg"), xml(errMsg.c_str()));
    xmlChar* out = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &out, &size, "UTF-8", 1);
    std::string text =
        out ? std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(size))
            : std::string();
    xmlFree(out);
    return text;
}

Selection readSelection(std::string_view bytes) {
    Selection s;
    Doc doc = parse(bytes, "UserSelection.xml");
    if (!doc) {
        s.error = "UserSelection.xml is not well-formed XML";
        return s;
    }
    if (doc->intSubset || doc->extSubset) {
        s.error = "UserSelection.xml carries a document type declaration";
        return s;
    }
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || xmlStrcmp(root->name, xml("UpdateConfig")) != 0) {
        s.error = "UserSelection.xml has no UpdateConfig root element";
        return s;
    }
    for (xmlNode* file : select(doc.get(), "/UpdateConfig/UpdateFiles/UpdateFile")) {
        std::string name = attribute(file, "Filename");
        if (!isPlainName(name)) {
            s.error = "UserSelection.xml names the package \"" + name +
                      "\", which is not a plain file name";
            return s;
        }
        if (std::find(s.filenames.begin(), s.filenames.end(), name) == s.filenames.end())
            s.filenames.push_back(std::move(name));
    }
    s.ok = true;
    return s;
}

} // namespace tallowick::agent
