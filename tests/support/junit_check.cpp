#include "support/junit_check.h"

#include <cstdarg>
#include <cstdio>

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>

namespace tessaril::test {

namespace {

void collect(void* context, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  *static_cast<std::string*>(context) += buffer;
}

}  // namespace

bool junit_valid(const std::string& xml, std::string& problems) {
  problems.clear();
  xmlSetGenericErrorFunc(&problems, collect);
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "report.xml", nullptr, 0);
  if (!doc) {
    if (problems.empty()) problems = "not well-formed";
    return false;
  }
  xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(TESSARIL_SOURCE_DIR "/tests/junit.xsd");
  xmlSchemaPtr schema = parser ? xmlSchemaParse(parser) : nullptr;
  xmlSchemaValidCtxtPtr valid = schema ? xmlSchemaNewValidCtxt(schema) : nullptr;
  bool ok = false;
  if (valid) {
    xmlSchemaSetValidErrors(valid, collect, collect, &problems);
    ok = xmlSchemaValidateDoc(valid, doc) == 0;
  } else {
    problems += "cannot read tests/junit.xsd";
  }
  if (valid) xmlSchemaFreeValidCtxt(valid);
  if (schema) xmlSchemaFree(schema);
  if (parser) xmlSchemaFreeParserCtxt(parser);
  xmlFreeDoc(doc);
  xmlSetGenericErrorFunc(nullptr, nullptr);
  return ok;
}

std::vector<std::string> xml_values(const std::string& xml, const std::string& xpath) {
  std::vector<std::string> values;
  xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "report.xml", nullptr, 0);
  if (!doc) return values;
  xmlXPathContextPtr context = xmlXPathNewContext(doc);
  xmlXPathObjectPtr found = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
  if (found && found->nodesetval) {
    for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
      xmlChar* text = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
      values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      xmlFree(text);
    }
  }
  xmlXPathFreeObject(found);
  xmlXPathFreeContext(context);
  xmlFreeDoc(doc);
  return values;
}

}  // namespace tessaril::test
