#include "catalogue/XMLParse.h"

#include <climits>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

namespace tallowick {

namespace {

const char* gXMLFilePath = nullptr;
std::unique_ptr<XMLParse> gXMLParse;

// The description comes from outside: never from the network, no external DTD or entity,
// entity references left in place rather than substituted, and libxml2's limits (depth,
// entity amplification) kept on.
constexpr int kStrictOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
constexpr int kTolerantOptions = kStrictOptions | XML_PARSE_RECOVER;

// Internal entities are expanded when their text is read; what they may add to one
// document is bounded, so that a small file cannot blow up into a huge value.
constexpr std::size_t kEntityTextLimit = 1u << 20;
constexpr int kEntityDepthLimit = 16;

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

struct XPathContextFree {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};

struct ParseErrors {
    bool limitHit = false;
};

// Errors that mean the parser stopped at one of its limits: such a document is refused even
// by the tolerant parse, which would otherwise hand over whatever it had read so far.
void recordParseError(void*, xmlErrorPtr error) {
    if (!error || !error->ctxt)
        return;
    auto* context = static_cast<xmlParserCtxtPtr>(error->ctxt);
    auto* errors = static_cast<ParseErrors*>(context->_private);
    if (!errors)
        return;
    switch (error->code) {
    case XML_ERR_INTERNAL_ERROR: // excessive depth, huge lookups and other hard limits
    case XML_ERR_NO_MEMORY:
    case XML_ERR_ENTITY_LOOP: // entity amplification and recursive entities
        errors->limitHit = true;
        break;
    default:
        break;
    }
}

DocPtr parseDocument(std::string_view bytes, int options) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return {};
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context)
        return {};
    ParseErrors errors;
    context->_private = &errors;
    context->sax->serror = recordParseError;
    context->sax->externalSubset = nullptr; // an external DTD is never read
    DocPtr doc(xmlCtxtReadMemory(context, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                 nullptr, options));
    xmlFreeParserCtxt(context);
    if (!doc || errors.limitHit || !xmlDocGetRootElement(doc.get()))
        return {};
    return doc;
}

const char* chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* xmlChars(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

template <typename NodeT> std::string qualifiedName(const NodeT* node) {
    std::string name;
    if (node->ns && node->ns->prefix) {
        name = chars(node->ns->prefix);
        name += ':';
    }
    if (node->name)
        name += chars(node->name);
    return name;
}

// The text of a node: all character data below it in document order, CDATA and white space
// as they stand, internal entities expanded within the limits above.
class TextReader {
public:
    explicit TextReader(xmlDoc* doc) : m_doc(doc) {}

    std::string textOf(const xmlNode* firstChild) {
        std::string text;
        append(firstChild, text, 0);
        return text;
    }
    bool refused() const { return m_refused; }

private:
    void appendChars(const xmlChar* content, std::string& out, int entityDepth) {
        if (!content)
            return;
        const std::size_t length = std::strlen(chars(content));
        if (entityDepth > 0) {
            m_entityText += length;
            if (m_entityText > kEntityTextLimit) {
                m_refused = true;
                return;
            }
        }
        out.append(chars(content), length);
    }

    void append(const xmlNode* node, std::string& out, int entityDepth) {
        for (; node && !m_refused; node = node->next) {
            switch (node->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                appendChars(node->content, out, entityDepth);
                break;
            case XML_ELEMENT_NODE:
                append(node->children, out, entityDepth);
                break;
            case XML_ENTITY_REF_NODE: {
                // External entities have no content here: they are never loaded.
                const xmlEntity* entity = xmlGetDocEntity(m_doc, node->name);
                if (!entity)
                    break;
                if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY) {
                    appendChars(entity->content, out, 0);
                } else if (entity->etype == XML_INTERNAL_GENERAL_ENTITY) {
                    if (entityDepth >= kEntityDepthLimit) {
                        m_refused = true;
                        return;
                    }
                    append(entity->children, out, entityDepth + 1);
                }
                break;
            }
            default: // comments, processing instructions
                break;
            }
        }
    }

    xmlDoc* m_doc;
    std::size_t m_entityText = 0;
    bool m_refused = false;
};

// The elements of one name anywhere in the document, in document order.
std::vector<const xmlNode*> findAll(xmlXPathContext* context, const char* expression) {
    std::vector<const xmlNode*> nodes;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(xmlChars(expression), context);
    if (!result)
        return nodes;
    if (result->type == XPATH_NODESET && result->nodesetval) {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            const xmlNode* node = result->nodesetval->nodeTab[i];
            if (node && node->type == XML_ELEMENT_NODE)
                nodes.push_back(node);
        }
    }
    xmlXPathFreeObject(result);
    return nodes;
}

} // namespace

XMLParse* XMLParse::initWithFilePath(const char* path, const platform::FileSystem& fileSystem,
                                     platform::Log& log, platform::Sound& sound) {
    if (!path)
        return nullptr;
    xmlInitParser();
    gXMLFilePath = path;
    if (!gXMLParse)
        gXMLParse.reset(new XMLParse());
    gXMLParse->m_fileSystem = &fileSystem;
    gXMLParse->m_log = &log;
    gXMLParse->m_sound = &sound;
    return gXMLParse.get();
}

bool XMLParse::getUpdateInfo(plist::Dictionary& description) {
    if (!gXMLFilePath) {
        m_log->line("gXMLFilePath is NULL");
        return false;
    }

    DocPtr doc;
    if (const std::optional<std::string> bytes = m_fileSystem->readFile(gXMLFilePath)) {
        doc = parseDocument(*bytes, kStrictOptions);
        if (!doc)
            doc = parseDocument(*bytes, kTolerantOptions);
    }
    std::unique_ptr<xmlXPathContext, XPathContextFree> xpath;
    if (doc) {
        xpath.reset(xmlXPathNewContext(doc.get()));
        if (xpath)
            xpath->node = reinterpret_cast<xmlNode*>(doc.get()); // queries start at the document
    }
    if (!xpath) {
        m_log->line("init xmlDoc error!");
        return false;
    }

    // Read into a dictionary of our own, so that a refused document leaves the caller's as
    // it was.
    plist::Dictionary found;
    TextReader reader(doc.get());

    const std::vector<const xmlNode*> flags = findAll(xpath.get(), ".//Flag");
    if (!flags.empty()) {
        found.set("Flag", plist::stringIntValue(reader.textOf(flags.front()->children)));
        const std::vector<const xmlNode*> messages = findAll(xpath.get(), ".//ErrMsg");
        if (!messages.empty())
            found.set("ErrMsg", reader.textOf(messages.front()->children));
    } else {
        const std::vector<const xmlNode*> descriptions =
            findAll(xpath.get(), ".//PackageDescription");
        if (descriptions.empty()) {
            found.set("Flag", 0);
        } else {
            for (const xmlNode* packageDescription : descriptions) {
                if (!packageDescription->children) {
                    m_log->line("PackageDescription is NULL");
                    break;
                }
                for (const xmlNode* child = packageDescription->children; child;
                     child = child->next) {
                    if (child->type == XML_ELEMENT_NODE)
                        found.set(qualifiedName(child), reader.textOf(child->children));
                }
            }

            plist::Array packages;
            for (const xmlNode* element : findAll(xpath.get(), ".//UpdateFile")) {
                plist::Dictionary entry;
                entry.set("UpdateFile", reader.textOf(element->children));
                for (const xmlAttr* attribute = element->properties; attribute;
                     attribute = attribute->next)
                    entry.set(qualifiedName(attribute), reader.textOf(attribute->children));
                packages.emplace_back(std::move(entry));
            }
            found.set("UpdateFile", std::move(packages));

            plist::Array servers;
            for (const xmlNode* element : findAll(xpath.get(), ".//Server")) {
                plist::Dictionary server;
                for (const xmlNode* child = element->children; child; child = child->next) {
                    if (child->type == XML_ELEMENT_NODE)
                        server.set(qualifiedName(child), reader.textOf(child->children));
                }
                servers.emplace_back(std::move(server));
            }
            found.set("Server", std::move(servers));
        }
    }

    if (reader.refused()) {
        m_log->line("init xmlDoc error!");
        return false;
    }
    for (auto& [key, value] : found)
        description.set(key, std::move(value));
    return true;
}

namespace {

// Keys become element and attribute names; one that is not an XML name would make the
// whole file unreadable for the agent, so it is left out.
bool isXmlName(const std::string& key) {
    return !key.empty() && xmlValidateName(xmlChars(key.c_str()), 0) == 0;
}

xmlNode* appendElement(xmlDoc* doc, xmlNode* parent, const char* name) {
    return xmlAddChild(parent, xmlNewDocNode(doc, nullptr, xmlChars(name), nullptr));
}

// Raw text: the serialiser escapes it.
void appendText(xmlDoc* doc, xmlNode* element, const std::string& text) {
    if (!text.empty())
        xmlAddChild(element, xmlNewDocText(doc, xmlChars(text.c_str())));
}

const plist::Array* arrayOf(const plist::Dictionary& dictionary, std::string_view key) {
    const plist::Value* value = dictionary.find(key);
    return value ? value->asArray() : nullptr;
}

} // namespace

bool XMLParse::createResult(const std::string& path, const plist::Dictionary& selection) {
    DocPtr doc(xmlNewDoc(xmlChars("1.0")));
    if (!doc)
        return writeToFile(nullptr, path);
    doc->encoding = xmlStrdup(xmlChars("UTF-8"));
    xmlNode* root = xmlNewDocNode(doc.get(), nullptr, xmlChars("UpdateConfig"), nullptr);
    xmlDocSetRootElement(doc.get(), root);

    xmlNode* updateFiles = xmlNewDocNode(doc.get(), nullptr, xmlChars("UpdateFiles"), nullptr);
    if (const plist::Array* packages = arrayOf(selection, "UpdateFile")) {
        for (const plist::Value& item : *packages) {
            const plist::Dictionary* entry = item.asDictionary();
            if (!entry)
                continue;
            xmlNode* element = appendElement(doc.get(), updateFiles, "UpdateFile");
            appendText(doc.get(), element, entry->stringValue("UpdateFile"));
            for (const auto& [key, value] : *entry) {
                if (key != "UpdateFile" && isXmlName(key))
                    xmlNewProp(element, xmlChars(key.c_str()),
                               xmlChars(value.stringValue().c_str()));
            }
        }
    }

    xmlNode* ftp = xmlNewDocNode(doc.get(), nullptr, xmlChars("Ftp"), nullptr);
    if (const plist::Array* servers = arrayOf(selection, "Server")) {
        for (const plist::Value& item : *servers) {
            const plist::Dictionary* server = item.asDictionary();
            if (!server)
                continue;
            xmlNode* element = appendElement(doc.get(), ftp, "Server");
            for (const auto& [key, value] : *server) {
                if (isXmlName(key))
                    appendText(doc.get(), appendElement(doc.get(), element, key.c_str()),
                               value.stringValue());
            }
        }
    }

    xmlAddChild(root, updateFiles);
    xmlAddChild(root, ftp);
    return writeToFile(doc.get(), path);
}

bool XMLParse::writeToFile(_xmlDoc* document, const std::string& path, const void*) {
    xmlChar* bytes = nullptr;
    int size = 0;
    if (document)
        xmlDocDumpFormatMemoryEnc(document, &bytes, &size, "UTF-8", 1);
    const bool written = bytes && size > 0 &&
                         m_fileSystem->writeFileAtomically(
                             path, std::string_view(chars(bytes), static_cast<std::size_t>(size)));
    if (bytes)
        xmlFree(bytes);
    if (!written) {
        m_sound->beep();
        m_log->line("Could not write document out...");
    }
    return written;
}

} // namespace tallowick
