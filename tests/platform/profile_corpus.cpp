#include "platform/profile_corpus.h"

namespace {

std::vector<ProfileCase> buildCorpus() {
    std::vector<ProfileCase> corpus;
    const std::string longValue(5000, 'v');

    corpus.push_back({"basic",
                      true,
                      "[KestrelConfig]\r\nLogLevel=4\r\nName=Value\r\n",
                      {{"KestrelConfig", "Name", "dflt", 64, "Value"},
                       {"KestrelConfig", "Missing", "dflt", 64, "dflt"},
                       {"Missing", "Name", "dflt", 64, "dflt"},
                       {"KestrelConfig", "Name", "dflt", 3, "Va"},
                       {"KestrelConfig", "Name", "dflt", 1, ""}},
                      {{"KestrelConfig", "LogLevel", 3, 4},
                       {"KestrelConfig", "Missing", 3, 3},
                       {"Nope", "LogLevel", -9, 0xFFFFFFF7u}}});

    corpus.push_back(
        {"case",
         true,
         "[kestrelCONFIG]\nlogLEVEL=5\nMiXeD=Text\n",
         {{"KestrelConfig", "mixed", "", 64, "Text"}, {"KESTRELCONFIG", "MIXED", "", 64, "Text"}},
         {{"KestrelConfig", "LogLevel", 3, 5}, {"kestrelconfig", "loglevel", 3, 5}}});

    corpus.push_back({"spaces",
                      true,
                      "  [Sec]  \n  key   =   value with  spaces   \n\tTab\t=\t7\t\n a b = 1 \n",
                      {{"Sec", "key", "", 64, "value with  spaces"},
                       {" Sec ", " key ", "", 64, "value with  spaces"},
                       {"Sec", "a b", "", 64, "1"},
                       {"Sec", "ab", "none", 64, "none"}},
                      {{"Sec", "Tab", 0, 7}, {"Sec", "a b", 0, 1}}});

    corpus.push_back(
        {"spaced-section",
         true,
         "[ Spaced ]\nk=1\n[Tight]\nk=2\n",
         {{"Spaced", "k", "none", 64, "1"}, {" Spaced ", "k", "none", 64, "1"}, {"Tight", "k", "", 64, "2"}},
         {}});

    corpus.push_back(
        {"quotes",
         true,
         "[S]\na=\"quoted\"\nb='single'\nc=\"mismatch'\nd=\"\nq=\"42\"\ne=\"\"\nf= \" padded \" \n"
         "g=\"in\"side\"\n",
         {{"S", "a", "", 64, "quoted"},
          {"S", "b", "", 64, "single"},
          {"S", "c", "", 64, "\"mismatch'"},
          {"S", "d", "", 64, "\""},
          {"S", "e", "x", 64, ""},
          {"S", "f", "", 64, " padded "},
          {"S", "g", "", 64, "in\"side"},
          {"S", "a", "", 8, "quoted"},
          {"S", "a", "", 7, "quote"},
          {"S", "a", "", 6, "quote"},
          {"S", "a", "", 4, "quo"},
          {"S", "missing", "\"dq\"", 64, "dq"},
          {"S", "missing", "trail   ", 64, "trail"},
          {"S", "missing", "   ", 64, " "}},
         {{"S", "q", 0, 42}, {"S", "e", 5, 5}}});

    corpus.push_back(
        {"duplicates",
         true,
         "[S]\nk=1\nk=2\n[T]\nx=1\n[S]\nk=3\nonlyInSecond=9\n",
         {{"S", "k", "", 64, "1"}, {"S", "onlyInSecond", "none", 64, "none"}, {"T", "x", "", 64, "1"}},
         {{"S", "k", 0, 1}, {"s", "ONLYINSECOND", 77, 77}}});

    corpus.push_back(
        {"comments",
         true,
         "; comment\n[S]\n;k=1\nk=2 ; trailing\n# hash=3\n#k2=4\n",
         {{"S", "k", "", 64, "2 ; trailing"}, {"S", ";k", "none", 64, "1"}, {"S", "# hash", "none", 64, "3"}},
         {{"S", "k", 0, 2}, {"S", "k2", 8, 8}}});

    corpus.push_back(
        {"crlf", true, "[S]\r\nk=crlf\r\nn=1\r\n", {{"S", "k", "", 64, "crlf"}}, {{"S", "n", 0, 1}}});
    corpus.push_back({"lf", true, "[S]\nk=lf\nn=2\n", {{"S", "k", "", 64, "lf"}}, {{"S", "n", 0, 2}}});
    corpus.push_back({"cr-only", true, "[S]\rk=cr\rn=3\r", {{"S", "k", "", 64, "cr"}}, {{"S", "n", 0, 3}}});
    corpus.push_back({"no-final-line-end", true, "[S]\nk=last", {{"S", "k", "", 64, "last"}}, {}});
    corpus.push_back({"mixed-line-ends",
                      true,
                      "[S]\rk=cr\nn=4\r\n",
                      {{"S", "k", "none", 64, "cr"}, {"S", "n", "", 64, "4"}},
                      {}});

    corpus.push_back(
        {"keys-before-section",
         true,
         "top=1\n[S]\nk=2\n",
         {{"S", "top", "none", 64, "none"}, {"", "top", "none", 64, "1"}, {"S", "k", "", 64, "2"}},
         {{"S", "k", 0, 2}}});

    corpus.push_back(
        {"numbers",
         true,
         "[N]\nneg=-300\nplus=+7\nhex=0x10\nHEX=0X10\nlead= 42abc\nempty=\nspace=   \nalpha=abc\n"
         "oct=0o17\nbin=0b101\nbig=4294967296\nhuge=99999999999\n"
         "long=000000000000000000000000000000042\nminushex=-0x10\nfloat=3.9\nminus=-\n",
         {{"N", "lead", "", 64, "42abc"}, {"N", "empty", "dflt", 64, ""}, {"N", "space", "dflt", 64, ""}},
         {{"N", "neg", 0, static_cast<uint32_t>(-300)},
          {"N", "plus", 0, 7},
          {"N", "hex", 0, 16},
          {"N", "HEX", 0, 16},
          {"N", "lead", 0, 42},
          {"N", "empty", 11, 11},
          {"N", "space", 12, 12},
          {"N", "alpha", 13, 0},
          {"N", "oct", 0, 15},
          {"N", "bin", 0, 5},
          {"N", "big", 0, 0},
          {"N", "huge", 0, 1215752191u},
          {"N", "long", 0, 0},
          {"N", "minushex", 0, static_cast<uint32_t>(-16)},
          {"N", "float", 0, 3},
          {"N", "minus", 9, 0}}});

    corpus.push_back({"no-equals",
                      true,
                      "[S]\nflag\nk=1\n",
                      {{"S", "flag", "dflt", 64, "dflt"}, {"S", "k", "", 64, "1"}},
                      {{"S", "flag", 6, 6}}});

    corpus.push_back({"long",
                      true,
                      "[S]\nlong=" + longValue + "\nafter=1\n",
                      {{"S", "long", "", 64, std::string(63, 'v')},
                       {"S", "long", "", 5001, longValue},
                       {"S", "long", "", 5000, std::string(4999, 'v')},
                       {"S", "after", "", 64, "1"}},
                      {{"S", "after", 0, 1}}});

    corpus.push_back({"unclosed-section",
                      true,
                      "[S]\nk=1\n[Broken\nb=2\n",
                      {{"S", "b", "none", 64, "2"}, {"Broken", "b", "none", 64, "none"}},
                      {}});

    corpus.push_back({"section-trailer",
                      true,
                      "[S] trailing words\nk=1\n[A]B]\nk=2\n",
                      {{"S", "k", "", 64, "1"}, {"A", "k", "none", 64, "none"}, {"A]B", "k", "", 64, "2"}},
                      {}});

    corpus.push_back({"value-with-equals", true, "[S]\nk=a=b\n=novalue\n", {{"S", "k", "", 64, "a=b"}}, {}});

    corpus.push_back({"ctrl-z", true, "[S]\nk=1\x1a\n\x1a", {{"S", "k", "", 64, "1"}}, {{"S", "k", 0, 1}}});

    corpus.push_back({"empty-file", true, "", {{"S", "k", "dflt", 64, "dflt"}}, {{"S", "k", 21, 21}}});

    corpus.push_back(
        {"missing-file",
         false,
         "",
         {{"S", "k", "dflt", 64, "dflt"}, {"S", "k", "dflt  ", 64, "dflt"}, {"S", "k", "dflt", 3, "df"}},
         {{"KestrelConfig", "LogLevel", 3, 3}, {"S", "k", -1, 0xFFFFFFFFu}}});

    return corpus;
}

}  // namespace

const std::vector<ProfileCase>& profileCorpus() {
    static const std::vector<ProfileCase> corpus = buildCorpus();
    return corpus;
}
