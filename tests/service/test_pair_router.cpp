// Which installed pairs serve a request: direct, through pivots, or none.
#include "LanguageCodes.h"
#include "PairRouter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

namespace {

InstalledPair pair(const std::string& from, const std::string& to)
{
    return InstalledPair{from, to, from + "-" + to, {{"cat", {}}}};
}

std::vector<std::string> legs(const std::optional<std::vector<const InstalledPair*>>& route)
{
    std::vector<std::string> names;
    if (route) {
        for (const InstalledPair* p : *route)
            names.push_back(p->modeName);
    }
    return names;
}

// A modes folder as the six default engine packages lay it out, variants
// and the extra three-part modes included, whatever this machine has installed.
class InstalledPairs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new std::filesystem::path(std::filesystem::temp_directory_path()
                                          / ("router-default-" + std::to_string(::getpid())));
        std::filesystem::create_directories(*s_dir);
        for (const char* name : {"cat-eng", "cat-eng_US", "cat-spa", "eco-es-fr", "eco-fr-es", "eng-cat",
                                 "eng-cat_valencia", "eng-spa", "es-fr", "es-pt", "es-pt_BR", "fr-es", "ita-spa",
                                 "pt-es", "spa-cat", "spa-cat_valencia", "spa-eng", "spa-eng_US", "spa-ita"})
            std::ofstream(*s_dir / (std::string(name) + ".mode")) << "cat\n";
        s_router = new PairRouter(PairRouter::scanModes(*s_dir));
    }
    static void TearDownTestSuite()
    {
        delete s_router;
        std::filesystem::remove_all(*s_dir);
        delete s_dir;
    }
    static std::filesystem::path* s_dir;
    static PairRouter* s_router;
};
std::filesystem::path* InstalledPairs::s_dir = nullptr;
PairRouter* InstalledPairs::s_router = nullptr;

}  // namespace

TEST_F(InstalledPairs, ScanMapsEngineNamesToApplicationCodesAndSkipsVariants)
{
    std::set<std::string> modes;
    for (const auto& p : s_router->pairs()) {
        modes.insert(p.modeName);
        EXPECT_EQ(p.modeName.find('_'), std::string::npos);
        EXPECT_FALSE(p.commands.empty());
    }
    EXPECT_TRUE(modes.count("eng-spa"));
    EXPECT_TRUE(modes.count("fr-es"));
    EXPECT_FALSE(modes.count("eco-fr-es"));
    EXPECT_EQ(s_router->languages(), (std::vector<std::string>{"ca", "en", "es", "fr", "it", "pt"}));
}

TEST_F(InstalledPairs, DirectPairsNeedNoPivot)
{
    EXPECT_EQ(legs(s_router->route("en", "es")), (std::vector<std::string>{"eng-spa"}));
    EXPECT_EQ(legs(s_router->route("es", "pt")), (std::vector<std::string>{"es-pt"}));
    EXPECT_EQ(legs(s_router->route("en", "ca")), (std::vector<std::string>{"eng-cat"}));
}

TEST_F(InstalledPairs, MissingPairsGoThroughSpanish)
{
    EXPECT_EQ(legs(s_router->route("en", "pt")), (std::vector<std::string>{"eng-spa", "es-pt"}));
    EXPECT_EQ(legs(s_router->route("fr", "ca")), (std::vector<std::string>{"fr-es", "spa-cat"}));
    EXPECT_EQ(legs(s_router->route("en", "it")), (std::vector<std::string>{"eng-spa", "spa-ita"}));
    EXPECT_EQ(legs(s_router->route("pt", "en")), (std::vector<std::string>{"pt-es", "spa-eng"}));
}

TEST_F(InstalledPairs, UnknownOrSameLanguageHasNoRoute)
{
    EXPECT_FALSE(s_router->route("en", "ja"));
    EXPECT_FALSE(s_router->route("ja", "en"));
    EXPECT_FALSE(s_router->route("en", "en"));
    const auto reachable = s_router->reachablePairs();
    EXPECT_EQ(reachable.size(), 30u);  // six languages, all connected through Spanish
    EXPECT_TRUE(std::find(reachable.begin(), reachable.end(), std::pair<std::string, std::string>("en", "pt"))
                != reachable.end());
}

TEST(PairRouter, TakesTheShortestRouteAndIgnoresDirection)
{
    PairRouter router({pair("a", "b"), pair("b", "c"), pair("c", "d"), pair("b", "d"), pair("d", "a")});
    EXPECT_EQ(legs(router.route("a", "d")), (std::vector<std::string>{"a-b", "b-d"}));
    EXPECT_EQ(legs(router.route("d", "c")), (std::vector<std::string>{"d-a", "a-b", "b-c"}));
    // pairs are one-way: nothing leaves c except towards d
    EXPECT_EQ(legs(router.route("c", "b")), (std::vector<std::string>{"c-d", "d-a", "a-b"}));
    EXPECT_FALSE(router.route("a", "z"));
}

TEST(PairRouter, EqualRoutesGoThroughTheBetterResourcedPivot)
{
    // each row adds a pivot; the route must move to it
    std::vector<InstalledPair> pairs{pair("xx", "zz"), pair("zz", "yy"), pair("xx", "mm"), pair("mm", "yy")};
    EXPECT_EQ(legs(PairRouter(pairs).route("xx", "yy")), (std::vector<std::string>{"xx-mm", "mm-yy"}));
    for (const std::string pivot : {"ca", "en", "es"}) {
        pairs.push_back(pair("xx", pivot));
        pairs.push_back(pair(pivot, "yy"));
        EXPECT_EQ(legs(PairRouter(pairs).route("xx", "yy")), (std::vector<std::string>{"xx-" + pivot, pivot + "-yy"}));
    }
    // but never at the cost of a step
    pairs.push_back(pair("xx", "yy"));
    EXPECT_EQ(legs(PairRouter(pairs).route("xx", "yy")), (std::vector<std::string>{"xx-yy"}));
}

TEST(PairRouter, NoRouteHasMoreThanThreeSteps)
{
    PairRouter router({pair("a1", "a2"), pair("a2", "a3"), pair("a3", "a4"), pair("a4", "a5")});
    EXPECT_EQ(legs(router.route("a1", "a4")).size(), 3u);
    EXPECT_FALSE(router.route("a1", "a5"));
    EXPECT_EQ(router.reachablePairs().size(), 9u);  // all but a1-a5
}

TEST(PairRouter, ScanMapsEngineNamesAndLeavesOutWhatCannotRun)
{
    const auto dir = std::filesystem::temp_directory_path() / ("router-scan-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; };
    std::ofstream(dir / "data.bin") << "x";
    const std::string data = " '" + (dir / "data.bin").string() + "'";
    write("eng-spa.mode", "cat" + data + " | cat $1" + data + "\n");
    write("es-pt.mode", "cat\n");
    write("spa-por.mode", "cat\n");                          // the same direction from a second package
    write("fr-es.mode", "cat > /tmp/stolen\n");              // shell beyond a pipeline
    write("ita-spa.mode", "no-such-engine-program\n");       // half installed: the program
    write("spa-ita.mode", "cat '/nonexistent/data.bin'\n");  // half installed: the data
    write("hbs-eng.mode", "cat\n");                          // reads Croatian and Serbian
    write("eng-hbs.mode", "cat\n");                          // writes neither
    write("eng-hbs_SR.mode", "cat\n");
    write("dan-nob.mode", "no-such-engine-program\n");
    write("dan-nno.mode", "cat\n");  // Nynorsk stands in for a broken Bokmål
    write("nob-dan.mode", "cat\n");
    write("nno-dan.mode", "cat\n");  // not needed beside Bokmål
    write("nno-nob.mode", "cat\n");  // Norwegian to Norwegian
    for (const char* unused :
         {"spa-cat_valencia.mode", "es-pt_BR.mode", "eco-fr-es.mode", "eng-epo.mode", "README", "-es.mode"})
        write(unused, "cat\n");
    std::vector<std::string> problems;
    const auto pairs = PairRouter::scanModes(dir, &problems);
    std::filesystem::remove_all(dir);

    std::map<std::string, std::string> modeOf;
    for (const InstalledPair& p : pairs)
        modeOf[p.from + "-" + p.to] = p.modeName;
    EXPECT_EQ(modeOf, (std::map<std::string, std::string>{{"da-no", "dan-nno"},
                                                          {"en-es", "eng-spa"},
                                                          {"en-sr", "eng-hbs_SR"},
                                                          {"es-pt", "es-pt"},
                                                          {"hr-en", "hbs-eng"},
                                                          {"no-da", "nob-dan"},
                                                          {"sr-en", "hbs-eng"}}));
    const auto& engSpa =
        std::find_if(pairs.begin(), pairs.end(), [](auto& p) { return p.modeName == "eng-spa"; })->commands;
    EXPECT_EQ(engSpa[1].args, (std::vector<std::string>{"-n", (dir / "data.bin").string()}));
    std::string lines;
    for (const std::string& line : problems)
        lines += line + "\n";
    for (const char* reported :
         {"spa-por.mode for es-pt: es-pt.mode offers it too", "fr-es.mode: unsupported shell",
          "ita-spa.mode: program not found: no-such-engine-program",
          "spa-ita.mode: data file missing: /nonexistent/data.bin", "dan-nob.mode: program not found"})
        EXPECT_NE(lines.find(reported), std::string::npos) << reported << " not in\n" << lines;
    EXPECT_EQ(problems.size(), 5u) << lines;
    EXPECT_TRUE(PairRouter::scanModes("/nonexistent/modes").empty());
}

TEST(LanguageCodes, EngineNamesStandForTheWindowsLanguages)
{
    using LanguageCodes::Side;
    const auto codes = [](const char* engine, Side side) {
        std::vector<std::pair<std::string, int>> out;
        for (const auto& m : LanguageCodes::wireCodes(engine, side))
            out.emplace_back(m.wireCode, m.rank);
        return out;
    };
    using Codes = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(codes("eng", Side::Source), (Codes{{"en", 0}}));
    EXPECT_EQ(codes("es", Side::Target), (Codes{{"es", 0}}));
    EXPECT_EQ(codes("hbs", Side::Source), (Codes{{"hr", 1}, {"sr", 1}}));
    EXPECT_EQ(codes("hbs", Side::Target), Codes{});
    EXPECT_EQ(codes("hbs_HR", Side::Target), (Codes{{"hr", 0}}));
    EXPECT_EQ(codes("hbs_SR", Side::Source), (Codes{{"sr", 0}}));
    EXPECT_EQ(codes("nob", Side::Target), (Codes{{"no", 0}}));
    EXPECT_EQ(codes("nno", Side::Target), (Codes{{"no", 1}}));
    EXPECT_EQ(codes("zlm", Side::Source), (Codes{{"ms", 0}}));
    EXPECT_EQ(codes("ind", Side::Source), (Codes{{"id", 0}}));
    EXPECT_EQ(codes("heb", Side::Source), (Codes{{"iw", 0}}));
    for (const char* variant : {"por_BR", "cat_valencia", "eng_US", "hbs_BS", "nno_e", "epo", "Cyrl"})
        EXPECT_TRUE(LanguageCodes::wireCodes(variant, Side::Target).empty()) << variant;
}
