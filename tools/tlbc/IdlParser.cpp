// A recursive-descent parser for the IDL subset: interfaces, structs,
// typedefs, coclasses and one library, with their attributes. One function
// per rule below ({ } repeats, [ ] is optional, | separates choices):
//
//   file       = { top }
//   top        = ";" | "cpp_quote" "(" STRING ")" | typedef | struct ";"
//              | attrs ( interface | coclass | library )
//   library    = "library" NAME "{" { "importlib" "(" STRING ")" ";" | top } "}" [ ";" ]
//                  (one per file, never inside another)
//   interface  = "interface" NAME ";"                       (forward; no attributes)
//              | "interface" NAME [ ":" NAME ] "{" { method } "}" [ ";" ]
//   method     = attrs type NAME "(" [ "void" | param { "," param } ] ")" ";"
//   param      = attrs type declarator                      (the name may be left out)
//   coclass    = "coclass" NAME "{" { attrs ( "interface" | "dispinterface" ) NAME ";" } "}" [ ";" ]
//   typedef    = "typedef" attrs type declarator { "," declarator } ";"
//   struct     = "struct" [ TAG ] "{" { attrs type declarator { "," declarator } ";" } "}"
//                  (only at file level and in a typedef)
//   type       = { "const" } ( struct | "struct" TAG | BASE { BASE } | NAME ) { "const" } { "*" }
//   declarator = { "*" } { "const" } NAME { "[" NUMBER "]" }
//   attrs      = [ "[" attr { "," attr } "]" ]
//   attr       = NAME [ "(" arg { "," arg } ")" ]
//                  (an argument is the text of its tokens up to a "," or ")" outside brackets)
//
// BASE is one of kBaseKeywords, combined as in C ("unsigned long int", "long long").
// "import" is refused: the base types are declared in the file itself.
#include "tools/tlbc/IdlParser.h"

#include "tools/tlbc/CompileError.h"
#include "tools/tlbc/IdlLexer.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace tlbc {
namespace {

const std::set<std::string> kBaseKeywords = {"signed", "unsigned", "short", "long",  "int",     "char",
                                             "small",  "hyper",    "__int64", "__int32", "float", "double",
                                             "void",   "byte",     "boolean", "wchar_t"};

class Parser {
public:
    Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    IdlFile run()
    {
        while (!atEnd())
            topLevel(false);
        return std::move(m_file);
    }

private:
    const Token& peek(size_t ahead = 0) const { return m_tokens[std::min(m_pos + ahead, m_tokens.size() - 1)]; }
    bool atEnd() const { return peek().kind == Token::End; }
    int line() const { return peek().line; }

    bool isPunct(const char* p, size_t ahead = 0) const
    {
        return peek(ahead).kind == Token::Punct && peek(ahead).text == p;
    }
    bool isWord(const char* w, size_t ahead = 0) const
    {
        return peek(ahead).kind == Token::Identifier && peek(ahead).text == w;
    }

    [[noreturn]] void fail(const std::string& message) const { throw CompileError(line(), message); }

    Token next()
    {
        if (atEnd())
            fail("unexpected end of file");
        return m_tokens[m_pos++];
    }

    void expect(const char* punct)
    {
        if (!isPunct(punct))
            fail(std::string("expected '") + punct + "' but found '" + peek().text + "'");
        ++m_pos;
    }

    bool accept(const char* punct)
    {
        if (!isPunct(punct))
            return false;
        ++m_pos;
        return true;
    }

    std::string identifier(const char* what)
    {
        if (peek().kind != Token::Identifier)
            fail(std::string("expected ") + what + " but found '" + peek().text + "'");
        return next().text;
    }

    std::string stringLiteral()
    {
        if (peek().kind != Token::String)
            fail("expected a string");
        return next().text;
    }

    uint32_t number()
    {
        if (peek().kind != Token::Number)
            fail("expected a number");
        std::string text = next().text;
        char* end = nullptr;
        unsigned long long value = std::strtoull(text.c_str(), &end, 0);
        if (*end != '\0' || value > 0xFFFFFFFFull)
            throw CompileError(m_tokens[m_pos - 1].line, "bad number '" + text + "'");
        return static_cast<uint32_t>(value);
    }

    Attributes attributes()
    {
        Attributes attrs;
        if (!accept("["))
            return attrs;
        do {
            Attribute a;
            a.line = line();
            a.name = identifier("an attribute");
            if (accept("(")) {
                do {
                    // An argument is one token, or a short expression kept as its text.
                    std::string arg;
                    int depth = 0;
                    while (depth > 0 || (!isPunct(",") && !isPunct(")"))) {
                        if (atEnd())
                            fail("unterminated attribute");
                        if (isPunct("("))
                            ++depth;
                        if (isPunct(")"))
                            --depth;
                        arg += next().text;
                    }
                    a.args.push_back(arg);
                } while (accept(","));
                expect(")");
            }
            attrs.list.push_back(std::move(a));
        } while (accept(","));
        expect("]");
        return attrs;
    }

    TypeSpec typeSpec(bool allowInlineStruct)
    {
        TypeSpec declared;
        declared.line = line();
        while (isWord("const"))
            ++m_pos;
        if (isWord("struct")) {
            ++m_pos;
            declared.isStruct = true;
            if (peek().kind == Token::Identifier)
                declared.base = next().text;
            if (isPunct("{")) {
                if (!allowInlineStruct)
                    fail("a struct can be defined only at file level or in a typedef");
                auto def = std::make_shared<StructDef>();
                def->tag = declared.base;
                def->line = declared.line;
                structBody(*def);
                if (!def->tag.empty())
                    defineStruct(def);
                declared.inlineStruct = def;
            } else if (declared.base.empty()) {
                fail("expected a struct name");
            }
        } else if (peek().kind == Token::Identifier && kBaseKeywords.count(peek().text)) {
            std::vector<std::string> words;
            while (peek().kind == Token::Identifier && kBaseKeywords.count(peek().text))
                words.push_back(next().text);
            declared.base = canonicalBase(words);
        } else {
            declared.base = identifier("a type");
        }
        while (isWord("const"))
            ++m_pos;
        while (accept("*"))
            ++declared.pointers;
        return declared;
    }

    std::string canonicalBase(std::vector<std::string> words) const
    {
        bool isUnsigned = false;
        std::vector<std::string> rest;
        for (const std::string& w : words) {
            if (w == "unsigned")
                isUnsigned = true;
            else if (w != "signed")
                rest.push_back(w);
        }
        // "short int", "long int" and "unsigned" alone mean what they do in C.
        if (rest.size() == 2 && rest[1] == "int" && (rest[0] == "short" || rest[0] == "long"))
            rest.pop_back();
        std::string base;
        if (rest.empty())
            base = "int";
        else if (rest.size() == 2 && rest[0] == "long" && rest[1] == "long")
            base = "hyper";
        else if (rest.size() == 1)
            base = rest[0];
        else
            fail("unsupported type");
        if (base == "__int64")
            base = "hyper";
        if (base == "__int32")
            base = "long";
        if (isUnsigned) {
            if (base == "float" || base == "double" || base == "void" || base == "boolean" || base == "byte" ||
                base == "wchar_t")
                fail("'unsigned " + base + "' is not a type");
            base = "unsigned " + base;
        }
        return base;
    }

    // Pointers, the name and array dimensions of one declarator.
    void declarator(TypeSpec& type, std::string& name, bool nameOptional)
    {
        while (accept("*"))
            ++type.pointers;
        while (isWord("const"))
            ++m_pos;
        if (peek().kind == Token::Identifier)
            name = next().text;
        else if (!nameOptional)
            fail("expected a name but found '" + peek().text + "'");
        while (accept("[")) {
            uint32_t count = number();
            if (count == 0)
                fail("an array needs at least one element");
            type.dims.push_back(count);
            expect("]");
        }
    }

    void structBody(StructDef& def)
    {
        expect("{");
        while (!accept("}")) {
            Attributes attrs = attributes();
            TypeSpec base = typeSpec(false);
            do {
                Field field;
                field.attrs = attrs;
                field.type = base;
                declarator(field.type, field.name, false);
                def.fields.push_back(std::move(field));
            } while (accept(","));
            expect(";");
        }
    }

    void defineStruct(const std::shared_ptr<StructDef>& def)
    {
        if (!m_file.structs.emplace(def->tag, def).second)
            throw CompileError(def->line, "struct " + def->tag + " is defined twice");
    }

    void interfaceDecl(Attributes attrs, bool inLibrary)
    {
        int startLine = line();
        ++m_pos; // "interface"
        std::string name = identifier("an interface name");
        if (accept(";")) {
            if (!attrs.list.empty())
                fail("a forward declaration takes no attributes");
            if (inLibrary)
                m_file.library->items.push_back({LibraryItem::Interface, name, startLine});
            return;
        }
        auto def = std::make_shared<InterfaceDef>();
        def->attrs = std::move(attrs);
        def->name = name;
        def->line = startLine;
        if (accept(":"))
            def->base = identifier("a base interface");
        expect("{");
        while (!accept("}")) {
            Method m;
            m.line = line();
            m.attrs = attributes();
            m.returnType = typeSpec(false);
            m.name = identifier("a method name");
            expect("(");
            if (isWord("void") && isPunct(")", 1))
                ++m_pos;
            if (!isPunct(")")) {
                do {
                    Param p;
                    p.attrs = attributes();
                    p.type = typeSpec(false);
                    declarator(p.type, p.name, true);
                    m.params.push_back(std::move(p));
                } while (accept(","));
            }
            expect(")");
            expect(";");
            def->methods.push_back(std::move(m));
        }
        accept(";");
        if (!m_file.interfaces.emplace(name, def).second)
            throw CompileError(startLine, "interface " + name + " is defined twice");
        if (inLibrary)
            m_file.library->items.push_back({LibraryItem::Interface, name, startLine});
    }

    void coclassDecl(Attributes attrs, bool inLibrary)
    {
        auto def = std::make_shared<CoclassDef>();
        def->line = line();
        ++m_pos; // "coclass"
        def->attrs = std::move(attrs);
        def->name = identifier("a coclass name");
        expect("{");
        while (!accept("}")) {
            CoclassMember member;
            member.line = line();
            member.attrs = attributes();
            if (!isWord("interface") && !isWord("dispinterface"))
                fail("expected 'interface'");
            ++m_pos;
            member.interfaceName = identifier("an interface name");
            expect(";");
            def->interfaces.push_back(std::move(member));
        }
        accept(";");
        if (!m_file.coclasses.emplace(def->name, def).second)
            throw CompileError(def->line, "coclass " + def->name + " is defined twice");
        if (inLibrary)
            m_file.library->items.push_back({LibraryItem::Coclass, def->name, def->line});
    }

    void typedefDecl(bool inLibrary)
    {
        ++m_pos; // "typedef"
        Attributes attrs = attributes();
        TypeSpec base = typeSpec(true);
        do {
            Typedef t;
            t.attrs = attrs;
            t.type = base;
            declarator(t.type, t.name, false);
            int at = m_tokens[m_pos - 1].line;
            if (m_file.typedefs.count(t.name))
                throw CompileError(at, "type " + t.name + " is defined twice");
            if (inLibrary)
                m_file.library->items.push_back({LibraryItem::TypedefName, t.name, at});
            m_file.typedefs.emplace(t.name, std::move(t));
        } while (accept(","));
        expect(";");
    }

    void libraryDecl(Attributes attrs)
    {
        if (m_file.library)
            fail("only one library per file");
        LibraryDef lib;
        lib.line = line();
        ++m_pos; // "library"
        lib.attrs = std::move(attrs);
        lib.name = identifier("a library name");
        m_file.library = std::move(lib);
        expect("{");
        while (!accept("}")) {
            if (atEnd())
                fail("unterminated library");
            if (isWord("importlib")) {
                ++m_pos;
                expect("(");
                m_file.library->importlibs.push_back(stringLiteral());
                expect(")");
                expect(";");
                continue;
            }
            topLevel(true);
        }
        accept(";");
    }

    void topLevel(bool inLibrary)
    {
        if (accept(";"))
            return;
        if (isWord("cpp_quote")) {
            ++m_pos;
            expect("(");
            stringLiteral();
            expect(")");
            return;
        }
        if (isWord("import") || isWord("importlib"))
            fail("'" + peek().text + "' here is not supported; declare the base types in the file");
        if (isWord("typedef"))
            return typedefDecl(inLibrary);
        if (isWord("struct")) {
            int at = line();
            TypeSpec declared = typeSpec(true);
            if (!declared.inlineStruct || declared.pointers)
                throw CompileError(at, "expected a struct definition");
            expect(";");
            if (inLibrary)
                m_file.library->items.push_back({LibraryItem::Struct, declared.base, at});
            return;
        }
        Attributes attrs = attributes();
        if (isWord("interface"))
            return interfaceDecl(std::move(attrs), inLibrary);
        if (isWord("coclass"))
            return coclassDecl(std::move(attrs), inLibrary);
        if (isWord("library")) {
            if (inLibrary)
                fail("a library cannot contain another");
            return libraryDecl(std::move(attrs));
        }
        fail("unexpected '" + peek().text + "'");
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    IdlFile m_file;
};

} // namespace

IdlFile parseIdl(const std::string& source, unsigned codePage)
{
    return Parser(tokenize(source, codePage)).run();
}

} // namespace tlbc
