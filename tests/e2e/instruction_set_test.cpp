// Both images run on every processor Windows NT 4.0 supports, the i486 and
// up: every instruction in their executable sections, as the cross
// toolchain's objdump decodes it, belongs to the i486 integer set (the
// applet may also use the i387's), and korvid.sys touches no FPU, MMX or SSE
// register at all, since the kernel does not save their state for drivers.
#include "tests/support/drivers.h"
#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr const char* kObjdump = "i686-w64-mingw32-objdump";
constexpr size_t kMaxReported = 20;

std::set<std::string> names(const char* list)
{
    std::istringstream in(list);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// The i486's integer instructions, as objdump spells them in Intel syntax.
const std::set<std::string> kI486 =
    names("aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw "
          "cwde cwd cdq clc cld cli clts cmc cmp cmps cmpsb cmpsw cmpsd cmpxchg daa das "
          "dec div enter hlt idiv imul in inc ins insb insw insd int int3 into invd invlpg "
          "iret iretd ja jae jb jbe jcxz jecxz je jg jge jl jle jmp jne jno jnp jns jo jp "
          "js lahf lar lds lea leave les lfs lgdt lgs lidt lldt lmsw lods lodsb lodsw "
          "lodsd loop loope loopne lsl lss ltr mov movs movsb movsw movsd movsx movzx mul "
          "neg nop not or out outs pop popa popad popf popfd push pusha pushad pushf "
          "pushfd rcl rcr ret retf rol ror sahf sal sar sbb scas seta setae setb setbe "
          "sete setg setge setl setle setne setno setnp setns seto setp sets sgdt shl shld "
          "shr shrd sidt sldt smsw stc std sti stos str sub test verr verw wbinvd xadd "
          "xchg xlat xor");

// The i387's instructions, which the i486DX carries (NT emulates them on the
// i486SX); the applet may use them, the miniport may not.
const std::set<std::string> kI387 =
    names("f2xm1 fabs fadd faddp fbld fbstp fchs fcom fcomp fcompp fcos fdecstp fdiv fdivp "
          "fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp fist "
          "fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz "
          "fmul fmulp fnclex fninit fnop fnsave fnstcw fnstenv fnstsw fpatan fprem fprem1 "
          "fptan frndint frstor fscale fsin fsincos fsqrt fst fstp fsub fsubp fsubr fsubrp "
          "ftst fucom fucomp fucompp fwait fxam fxch fxtract fyl2x fyl2xp1 wait");

const std::set<std::string> kPrefixes =
    names("cs ds es fs gs ss lock rep repz repnz repe repne data16 addr16");

// Function names by address: the symbols objdump shows and those of the
// link map (korvid.sys is stripped). The map also names the words the linker
// itself places in the code section (the empty constructor lists), which are
// data, not instructions.
using Symbols = std::map<uint32_t, std::string>;

struct LinkMap {
    Symbols symbols;
    std::map<uint32_t, uint32_t> data; // start -> end
};

LinkMap read_map(const std::string& map_path)
{
    LinkMap map;
    std::ifstream in(map_path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string address, second, third, rest;
        if (!(words >> address >> second) || address.rfind("0x", 0) != 0)
            continue;
        const auto at = static_cast<uint32_t>(std::stoul(address, nullptr, 16));
        const bool more = static_cast<bool>(words >> third);
        if (!more && second.rfind("0x", 0) != 0)
            map.symbols[at] = second; // "0x00011000  _DriverEntry@8"
        else if (more && second.rfind("0x", 0) == 0 &&
                 (third == "LONG" || third == "SHORT" || third == "BYTE" || third == "QUAD"))
            map.data[at] = at + static_cast<uint32_t>(std::stoul(second, nullptr, 16));
    }
    return map;
}

bool in_data(const LinkMap& map, uint32_t address)
{
    auto it = map.data.upper_bound(address);
    return it != map.data.begin() && address < (--it)->second;
}

std::string function_at(const Symbols& symbols, uint32_t address)
{
    auto it = symbols.upper_bound(address);
    if (it == symbols.begin())
        return "an unnamed function";
    --it;
    std::ostringstream out;
    out << it->second;
    if (address != it->first)
        out << "+0x" << std::hex << address - it->first;
    return out.str();
}

struct Instruction {
    uint32_t address = 0;
    std::string mnemonic, operands;
};

// "  10001234:\trep stos DWORD PTR es:[edi],eax": its address and the
// mnemonic after any prefixes; false for any other line.
bool parse(const std::string& line, Instruction* out)
{
    const size_t colon = line.find(":\t");
    if (colon == std::string::npos)
        return false;
    try {
        out->address = static_cast<uint32_t>(std::stoul(line.substr(0, colon), nullptr, 16));
    } catch (const std::exception&) {
        return false;
    }
    std::istringstream words(line.substr(colon + 2));
    out->mnemonic.clear();
    while (words >> out->mnemonic && kPrefixes.count(out->mnemonic))
        out->mnemonic.clear();
    std::getline(words >> std::ws, out->operands);
    // What follows " <" names a branch target, not an operand.
    out->operands = out->operands.substr(0, out->operands.find(" <"));
    return true;
}

// An MMX or SSE register among the operands (mm0, xmm3, ...).
bool names_vector_register(const std::string& operands)
{
    for (size_t at = operands.find("mm"); at != std::string::npos;
         at = operands.find("mm", at + 1)) {
        size_t start = at;
        if (start > 0 && (operands[start - 1] == 'x' || operands[start - 1] == 'y'))
            --start;
        const bool word_start =
            start == 0 || !std::isalnum(static_cast<unsigned char>(operands[start - 1]));
        if (word_start && at + 2 < operands.size() &&
            std::isdigit(static_cast<unsigned char>(operands[at + 2])))
            return true;
    }
    return false;
}

bool allowed(const Instruction& i, bool kernel)
{
    // The multi-byte NOP (0F 1F) came with the Pentium Pro.
    if (i.mnemonic == "nop")
        return i.operands.empty();
    if (kI486.count(i.mnemonic))
        return !names_vector_register(i.operands);
    return !kernel && kI387.count(i.mnemonic);
}

// The instructions of an image that an i486 cannot run (or, for the
// kernel, that touch the FPU), each with its address and function.
std::vector<std::string> foreign_instructions(const std::string& image, const LinkMap& map,
                                              bool kernel)
{
    const std::string command =
        std::string(kObjdump) + " -d -M intel --no-show-raw-insn '" + image + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {"cannot run " + command};
    std::string listing;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        listing.append(buffer, n);
    if (pclose(pipe) != 0)
        return {command + " failed:\n" + listing};

    Symbols symbols = map.symbols;
    std::vector<Instruction> instructions;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        // "10001000 <_DriverEntry@8>:" where the image has symbols.
        const size_t open = line.find(" <");
        if (open != std::string::npos && line.size() > 2 && line.substr(line.size() - 2) == ">:")
            symbols[static_cast<uint32_t>(std::stoul(line.substr(0, open), nullptr, 16))] =
                line.substr(open + 2, line.size() - open - 4);
        Instruction i;
        if (parse(line, &i))
            instructions.push_back(i);
    }
    std::vector<std::string> found;
    if (instructions.empty())
        found.push_back("objdump found no instructions in " + image);
    for (const Instruction& i : instructions)
        if (!in_data(map, i.address) && !allowed(i, kernel)) {
            std::ostringstream out;
            out << (i.mnemonic.empty() ? "(no mnemonic)" : i.mnemonic) << " " << i.operands
                << " at 0x" << std::hex << i.address << " in " << function_at(symbols, i.address);
            found.push_back(out.str());
        }
    return found;
}

void expect_i486(const std::string& image, bool kernel)
{
    const auto found = foreign_instructions(image, read_map(image + ".map"), kernel);
    std::ostringstream report;
    for (size_t i = 0; i < found.size() && i < kMaxReported; ++i)
        report << "  " << found[i] << "\n";
    EXPECT_TRUE(found.empty()) << image << " has " << found.size() << " instruction(s) an i486 "
                               << (kernel ? "kernel driver " : "") << "cannot run:\n"
                               << report.str();
}

std::string cross_image(const char* relative)
{
    const std::string dir = testing_support::cross_dir();
    if (dir.empty())
        return {};
    return dir + "/" + relative;
}

TEST(InstructionSet, BothImagesRunOnAnI486)
{
    const std::string sys = cross_image("miniport/korvid.sys");
    const std::string cpl = cross_image("applet/QV_CPL.cpl");
    if (sys.empty())
        GTEST_SKIP() << "KORVID_CROSS_DIR is not set";
    expect_i486(sys, true);
    expect_i486(cpl, false);
}

// A CMOV and an x87 load patched over korvid.sys's entry point are both named,
// with their address and function.
TEST_F(KorvidSysFile, InstructionCheckNamesACmovAndAnFpuInstruction)
{
    const pe::PeFile headers(file);
    const uint32_t entry =
        headers.u32(headers.optional_header() + pe::optional_header::kAddressOfEntryPoint);
    const pe::Section text = testing_support::section_of_rva(headers, entry);
    const uint8_t patch[] = {0x0F, 0x44, 0xC2, 0xD9, 0xE8}; // cmove eax,edx; fld1
    std::copy(std::begin(patch), std::end(patch),
              file.begin() + text.raw_offset + (entry - text.rva));
    const std::string path = ::testing::TempDir() + "korvid_cmov.sys";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    const uint32_t base = headers.u32(headers.optional_header() + pe::optional_header::kImageBase);
    std::string why;
    const auto found = foreign_instructions(path, read_map(*korvid_sys_path(&why) + ".map"), true);
    std::ostringstream at;
    at << std::hex << "at 0x" << base + entry << " in ";
    ASSERT_EQ(found.size(), 2u) << ::testing::PrintToString(found);
    EXPECT_EQ(found[0].substr(0, found[0].find("DriverEntry@8")), "cmove eax,edx " + at.str());
    EXPECT_EQ(found[1].substr(0, 5), "fld1 ");
    std::remove(path.c_str());
}

} // namespace
