// The instruction encoding, the server's own program, and the check that
// refuses programs the runner could misread.
#include "registry/ProgramCheck.h"
#include "registry/ServerRegistrationProgram.h"
#include "tests/registry/RegistryTestSupport.h"

#include <cstring>

TEST(RegWordEncoding, FieldsRoundTripAndStayInTheirBits)
{
    for (DWORD opcode = 0; opcode < 16; ++opcode) {
        for (DWORD name : {0u, 1u, 0x2AAAu, kRegMaxOperand}) {
            for (DWORD data : {0u, 0x1555u, kRegMaxOperand}) {
                DWORD word = encodeRegWord(static_cast<RegOp>(opcode), name, data);
                EXPECT_EQ(regWordOpcode(word), opcode);
                EXPECT_EQ(regWordName(word), name);
                EXPECT_EQ(regWordData(word), data);
            }
        }
    }
    // Operands wider than 14 bits must not spill into their neighbours.
    EXPECT_EQ(encodeRegWord(RegOp::Key, 0x4001, 0x4002), 0x30004002u);
    EXPECT_FALSE(isDefinedRegOpcode(4));
    for (DWORD opcode = 12; opcode < 16; ++opcode)
        EXPECT_FALSE(isDefinedRegOpcode(opcode));
}

TEST(ServerRegistrationProgram, EveryWordDecodesAsTabled)
{
    struct Expected {
        RegOp op;
        DWORD name;
        DWORD data;
    };
    using R = RegOp;
    const Expected expected[kServerRegistrationWordCount] = {
        {R::Root, 0, 0},         {R::Key, 1, 0},          {R::StringValue, 0, 2},  {R::BeginBlock, 0, 0},
        {R::Key, 3, 0},          {R::StringValue, 0, 4},  {R::EndBlock, 0, 0},     {R::Key, 5, 0},
        {R::StringValue, 0, 2},  {R::BeginBlock, 0, 0},   {R::Key, 3, 0},          {R::StringValue, 0, 4},
        {R::Key, 6, 0},          {R::StringValue, 0, 1},  {R::EndBlock, 0, 0},     {R::KeepKey, 3, 0},
        {R::Key, 3, 0},          {R::BeginBlock, 0, 0},   {R::ReplaceKey, 4, 0},   {R::Key, 4, 0},
        {R::StringValue, 0, 2},  {R::BeginBlock, 0, 0},   {R::Key, 7, 0},          {R::StringValue, 0, 1},
        {R::Key, 8, 0},          {R::StringValue, 0, 5},  {R::ReplaceKey, 9, 0},   {R::Key, 9, 0},
        {R::Key, 10, 0},         {R::StringValue, 0, 11}, {R::BeginBlock, 0, 0},   {R::StringValue, 12, 13},
        {R::EndBlock, 0, 0},     {R::StringValue, 14, 15}, {R::Key, 16, 0},        {R::StringValue, 0, 17},
        {R::EndBlock, 0, 0},     {R::EndBlock, 0, 0},     {R::EndBlock, 0, 0},     {R::End, 0, 0},
    };
    for (UINT i = 0; i < kServerRegistrationWordCount; ++i) {
        DWORD word = g_serverRegistrationWords[i];
        EXPECT_EQ(regWordOp(word), expected[i].op) << "word " << i;
        EXPECT_EQ(regWordName(word), expected[i].name) << "word " << i;
        EXPECT_EQ(regWordData(word), expected[i].data) << "word " << i;
        EXPECT_EQ(word, encodeRegWord(expected[i].op, expected[i].name, expected[i].data)) << "word " << i;
    }

    const char* const texts[] = {"", "MORVEN.CMORVENProc.1", "%FriendlyName%", "CLSID",
                                 "{FB82882C-A2F5-48F3-8A8D-F336890341D1}", "MORVEN.CMORVENProc", "CurVer", "ProgID",
                                 "VersionIndependentProgID", "Programmable", "%MODULETYPE%", "%MODULE%",
                                 "ThreadingModel", "apartment", "AppID", "%APPID%", "TypeLib", "%MODULEGUID%"};
    for (UINT i = 0; i < kServerRegistrationStringCount; ++i) {
        EXPECT_STREQ(g_serverRegistrationStrings[i].text, texts[i]);
        EXPECT_EQ(g_serverRegistrationStrings[i].expand != 0, texts[i][0] == '%') << "string " << i;
    }
    EXPECT_EQ(g_serverRegistrationStrings[kServerRegistrationStringCount].text, nullptr);
    EXPECT_TRUE(isNumberTableEnd(g_serverRegistrationNumbers[0]));
    EXPECT_TRUE(isBinaryTableEnd(g_serverRegistrationBinaries[0]));
    EXPECT_EQ(checkRegistryProgram(g_serverRegistrationProgram), S_OK);
}

namespace {

// Key "A" { <body> } with the given words spliced in for the body, closed properly.
HRESULT checkWithBody(std::initializer_list<DWORD> body, bool close = true)
{
    TestProgram p;
    DWORD a = p.text("A");
    p.text("");  // 2
    p.op(RegOp::Root).op(RegOp::Key, a).op(RegOp::BeginBlock);
    p.words.insert(p.words.end(), body);
    if (close)
        p.op(RegOp::EndBlock).op(RegOp::EndBlock).op(RegOp::End);
    // Number 1 and binary 1 take their data from string 1; number 2 from a string that is not there.
    p.numbers = {{7, 0}, {1, 1}, {99, 1}};
    p.binaries = {{reinterpret_cast<const BYTE*>("x"), 1, 0}, {nullptr, 1, 1}, {nullptr, 3, 0}};
    return checkRegistryProgram(p.program());
}

DWORD w(RegOp op, DWORD name = 0, DWORD data = 0) { return encodeRegWord(op, name, data); }

} // namespace

TEST(ProgramCheck, AcceptsWellFormedShapes)
{
    EXPECT_EQ(checkWithBody({}), S_OK);
    EXPECT_EQ(checkWithBody({w(RegOp::StringValue, 0, 1), w(RegOp::Key, 1), w(RegOp::StringValue, 1, 0),
                             w(RegOp::NumberValue, 0, 0), w(RegOp::NumberValue, 0, 1), w(RegOp::BinaryValue, 0, 0),
                             w(RegOp::BinaryValue, 1, 1), w(RegOp::MultiStringValue, 0, 1)}),
              S_OK);
    EXPECT_EQ(checkWithBody({w(RegOp::KeepKey, 1), w(RegOp::Key, 1), w(RegOp::BeginBlock), w(RegOp::EndBlock)}), S_OK);

    // A second root in place of the first root level's EndBlock.
    TestProgram p;
    DWORD a = p.text("A");
    p.op(RegOp::Root).op(RegOp::Key, a).op(RegOp::Root, 1).op(RegOp::Key, a).op(RegOp::EndBlock).op(RegOp::End);
    EXPECT_EQ(checkRegistryProgram(p.program()), S_OK);
}

TEST(ProgramCheck, RefusesWhatTheRunnerCouldMisread)
{
    // Undefined opcodes.
    for (DWORD opcode : {4u, 12u, 13u, 14u, 15u})
        EXPECT_EQ(checkWithBody({opcode << 28}), E_FAIL) << opcode;
    // Unbalanced blocks, End inside a block, a block without a key before it.
    EXPECT_EQ(checkWithBody({w(RegOp::EndBlock)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::Key, 1), w(RegOp::BeginBlock)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::End)}, false), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::BeginBlock), w(RegOp::EndBlock)}), E_FAIL);
    // Modifiers must be followed by a Key of the same name.
    EXPECT_EQ(checkWithBody({w(RegOp::KeepKey, 1), w(RegOp::StringValue, 0, 1)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::ReplaceKey, 1), w(RegOp::Key, 2)}), E_FAIL);
    // Key names: index 0, an empty text, the closing entry and past it.
    for (DWORD name : {0u, 2u, 3u, kRegMaxOperand})
        EXPECT_EQ(checkWithBody({w(RegOp::Key, name)}), E_FAIL) << name;
    // Table indexes at or past each table's end, directly or through an
    // expanded entry; literal bytes that are not there.
    EXPECT_EQ(checkWithBody({w(RegOp::StringValue, 0, 3)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::StringValue, 3, 0)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::NumberValue, 0, 2)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::NumberValue, 0, 3)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::BinaryValue, 0, 2)}), E_FAIL);
    EXPECT_EQ(checkWithBody({w(RegOp::BinaryValue, 0, 3)}), E_FAIL);
    // Root only at the root level, and only a known one.
    EXPECT_EQ(checkWithBody({w(RegOp::Root)}), E_FAIL);

    TestProgram shallow;
    DWORD a = shallow.text("A");
    shallow.op(RegOp::Root).op(RegOp::Key, a).op(RegOp::Root, 4).op(RegOp::Key, a).op(RegOp::EndBlock).op(RegOp::End);
    EXPECT_EQ(checkRegistryProgram(shallow.program()), E_FAIL);

    // No End word within the word count, however well the rest is formed.
    RegistryProgram server = g_serverRegistrationProgram;
    server.wordCount = kServerRegistrationWordCount - 1;
    EXPECT_EQ(checkRegistryProgram(server), E_FAIL);
    server.wordCount = 0;
    EXPECT_EQ(checkRegistryProgram(server), E_FAIL);
    // Nothing after the last root level but End.
    std::vector<DWORD> trailing(g_serverRegistrationWords, g_serverRegistrationWords + kServerRegistrationWordCount);
    trailing.insert(trailing.end() - 1, w(RegOp::Key, 1));
    server = {trailing.data(), g_serverRegistrationStrings, nullptr, nullptr, static_cast<UINT>(trailing.size())};
    EXPECT_EQ(checkRegistryProgram(server), E_FAIL);
    server.words = nullptr;
    EXPECT_EQ(checkRegistryProgram(server), E_INVALIDARG);
    server = {g_serverRegistrationWords, nullptr, nullptr, nullptr, kServerRegistrationWordCount};
    EXPECT_EQ(checkRegistryProgram(server), E_INVALIDARG);
}

TEST(ProgramCheck, BoundsNestingDepth)
{
    for (UINT levels : {kMaxProgramLevels, kMaxProgramLevels + 1}) {
        TestProgram p;
        DWORD a = p.text("A");
        p.op(RegOp::Root);
        for (UINT i = 1; i < levels; ++i)
            p.op(RegOp::Key, a).op(RegOp::BeginBlock);
        for (UINT i = 0; i < levels; ++i)
            p.op(RegOp::EndBlock);
        p.op(RegOp::End);
        EXPECT_EQ(checkRegistryProgram(p.program()), levels <= kMaxProgramLevels ? S_OK : E_FAIL) << levels;
    }
}
