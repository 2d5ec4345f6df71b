#include "fetcher/template_runtime.h"

#include "platform/text.h"

namespace wrenly {
namespace {

// Written in the ECMAScript subset that older engines share (no let, no
// arrow functions), since templates written for those engines run inside it.
// Identifiers are fixed: templates call them by name.
constexpr std::string_view kPrologue = R"JS(function Article() {
    this.url = undefined;
    this.body = undefined;
}

function Node() {
    this.id = -1;
    this.parentId = -1;
    this.startPos = -1;
    this.endPos = -1;
    this.body = undefined;
    this.nodeName = "";
    this.attributes = new Object();
    this.outerHTML = "";
    this.all = undefined;
}

Node.prototype.GetOuterHTML = function () {
    return GetHTML(this.outerHTML);
};

Node.prototype.GetParentNode = function () {
    for (var i = this.all.length - 1; i >= 0; i--) {
        if (this.all[i].id == this.parentId)
            return this.all[i];
    }
    return undefined;
};

// Children of one parent stand in reverse document order in "all", so the
// scan from the end meets the first child first.
Node.prototype.GetFirstChild = function () {
    for (var i = this.all.length - 1; i >= 0; i--) {
        if (this.all[i].parentId == this.id)
            return this.all[i];
    }
    return undefined;
};

Node.prototype.GetLastChild = function () {
    for (var i = 0; i < this.all.length; i++) {
        if (this.all[i].parentId == this.id)
            return this.all[i];
    }
    return undefined;
};

Node.prototype.GetPreviousSibling = function () {
    var i = this.all.length - 1;
    while (i >= 0 && this.all[i].id != this.id)
        i--;
    if (i < 0)
        return undefined;
    for (var k = i + 1; k < this.all.length; k++) {
        if (this.all[k].parentId == this.parentId)
            return this.all[k];
    }
    return undefined;
};

Node.prototype.GetNextSibling = function () {
    var i = this.all.length - 1;
    while (i >= 0 && this.all[i].id != this.id)
        i--;
    if (i < 0)
        return undefined;
    for (var k = i - 1; k >= 0; k--) {
        if (this.all[k].parentId == this.parentId)
            return this.all[k];
    }
    return undefined;
};

// Reads the attributes of the opening tag into this.attributes (values lose
// their quotes; values with blanks fall apart) and tells whether attrname has
// the value attrvalue. Attributes read by earlier calls are kept.
Node.prototype.hasAttrOrNot = function (tagname, attrname, attrvalue) {
    if (this.nodeName != String(tagname).toUpperCase())
        return false;
    var pieces = GetNodeAttr(this.startPos, this.endPos).split(" ");
    for (var i = 1; i < pieces.length; i++) {
        var pair = pieces[i].split("=");
        if (pair.length == 2)
            this.attributes[pair[0]] = pair[1].replace(/["']/g, "");
    }
    if (!Object.prototype.hasOwnProperty.call(this.attributes, attrname))
        return false;
    return String(this.attributes[attrname]) == String(attrvalue);
};

Node.prototype.getElementsByAttr = function (tagname, attrname, attrvalue) {
    var found = new Array();
    if (this.all == undefined)
        return found;
    for (var i = 0; i < this.all.length; i++) {
        if (this.all[i].hasAttrOrNot(tagname, attrname, attrvalue))
            found.push(this.all[i]);
    }
    return found;
};

// Downloads the page and returns the node of its upper-case HTML element,
// with every node of that element's tree in "all"; without such an element,
// an empty node whose "all" is empty.
function Document(url, encoding) {
    this.url = url;
    this.encoding = encoding;
    var body = URLDownload(url, encoding);
    var nodes = new Array();
    var root = undefined;
    var p = 0;
    while (true) {
        var name = GetNodeName(p);
        if (name == "<END>" || name == "")
            break;
        if (name == "HTML") {
            var records = GetNodeTree(name, p).split("|");
            for (var i = 0; i < records.length; i++) {
                var fields = records[i].split(",");
                if (fields.length != 5)
                    continue;
                var node = new Node();
                node.id = fields[0];
                node.parentId = fields[1];
                node.nodeName = fields[2];
                node.startPos = fields[3];
                node.endPos = fields[4];
                node.outerHTML = "{outerHTML," + fields[3] + "," + fields[4] + "}";
                node.all = nodes;
                nodes.push(node);
                if (root == undefined && node.nodeName == "HTML")
                    root = node;
            }
            break;
        }
        p = GetNodeStartPos(p) + name.length + 1;
    }
    if (root != undefined) {
        root.body = body;
        return root;
    }
    var empty = new Node();
    empty.all = nodes;
    return empty;
}

function ScriptEntry() {
    var article = new Article;
    article.url = GetArticleUrl("ECMAScript");
    // The following is the body of the template
    //
)JS";

constexpr std::string_view kEpilogue = R"JS(    //
    // Template end here.
    // -----------------------------------------------------------------------
    SetArticleBody(article.body);
}
)JS";

}  // namespace

std::string_view TemplatePrologue() { return kPrologue; }
std::string_view TemplateEpilogue() { return kEpilogue; }

std::u16string BuildScriptText(std::u16string_view templateText) {
  std::u16string text = Utf8ToUtf16(kPrologue);
  text += templateText;
  text += Utf8ToUtf16(kEpilogue);
  return text;
}

}  // namespace wrenly
