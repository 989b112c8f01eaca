// Which installed pairs serve a request: direct, through pivots, or none.
#include "PairRouter.h"

#include <gtest/gtest.h>

#include <fstream>
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
            std::ofstream(*s_dir / (std::string(name) + ".mode")) << "lt-proc '/data/" << name << ".bin'\n";
        s_router = new PairRouter(PairRouter::ScanModes(*s_dir));
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
    EXPECT_EQ(s_router->Languages(), (std::vector<std::string>{"ca", "en", "es", "fr", "it", "pt"}));
}

TEST_F(InstalledPairs, DirectPairsNeedNoPivot)
{
    EXPECT_EQ(legs(s_router->Route("en", "es")), (std::vector<std::string>{"eng-spa"}));
    EXPECT_EQ(legs(s_router->Route("es", "pt")), (std::vector<std::string>{"es-pt"}));
    EXPECT_EQ(legs(s_router->Route("en", "ca")), (std::vector<std::string>{"eng-cat"}));
}

TEST_F(InstalledPairs, MissingPairsGoThroughSpanish)
{
    EXPECT_EQ(legs(s_router->Route("en", "pt")), (std::vector<std::string>{"eng-spa", "es-pt"}));
    EXPECT_EQ(legs(s_router->Route("fr", "ca")), (std::vector<std::string>{"fr-es", "spa-cat"}));
    EXPECT_EQ(legs(s_router->Route("en", "it")), (std::vector<std::string>{"eng-spa", "spa-ita"}));
    EXPECT_EQ(legs(s_router->Route("pt", "en")), (std::vector<std::string>{"pt-es", "spa-eng"}));
}

TEST_F(InstalledPairs, UnknownOrSameLanguageHasNoRoute)
{
    EXPECT_FALSE(s_router->Route("en", "ja"));
    EXPECT_FALSE(s_router->Route("ja", "en"));
    EXPECT_FALSE(s_router->Route("en", "en"));
    const auto reachable = s_router->ReachablePairs();
    EXPECT_EQ(reachable.size(), 30u);  // six languages, all connected through Spanish
    EXPECT_TRUE(std::find(reachable.begin(), reachable.end(), std::pair<std::string, std::string>("en", "pt"))
                != reachable.end());
}

TEST(PairRouter, TakesTheShortestRouteAndIgnoresDirection)
{
    PairRouter router({pair("a", "b"), pair("b", "c"), pair("c", "d"), pair("b", "d"), pair("d", "a")});
    EXPECT_EQ(legs(router.Route("a", "d")), (std::vector<std::string>{"a-b", "b-d"}));
    EXPECT_EQ(legs(router.Route("d", "c")), (std::vector<std::string>{"d-a", "a-b", "b-c"}));
    // pairs are one-way: nothing leaves c except towards d
    EXPECT_EQ(legs(router.Route("c", "b")), (std::vector<std::string>{"c-d", "d-a", "a-b"}));
    EXPECT_FALSE(router.Route("a", "z"));
}

TEST(PairRouter, EqualRoutesPreferTheFirstPivotAlphabetically)
{
    PairRouter router({pair("x", "q"), pair("q", "y"), pair("x", "m"), pair("m", "y")});
    EXPECT_EQ(legs(router.Route("x", "y")), (std::vector<std::string>{"x-m", "m-y"}));
}

TEST(PairRouter, ScanLeavesOutFilesItCannotUse)
{
    const auto dir = std::filesystem::temp_directory_path() / ("router-scan-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
    };
    write("eng-spa.mode", "lt-proc '/x/a.bin' | lt-proc $1 '/x/b.bin'\n");
    write("spa-cat_valencia.mode", "lt-proc x\n");
    write("eco-fr-es.mode", "lt-proc x\n");
    write("fr-es.mode", "lt-proc x > /tmp/stolen\n");
    write("README", "not a mode\n");
    write("-es.mode", "lt-proc x\n");
    const auto pairs = PairRouter::ScanModes(dir);
    std::filesystem::remove_all(dir);
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].from, "en");
    EXPECT_EQ(pairs[0].to, "es");
    EXPECT_EQ(pairs[0].commands[1].args, (std::vector<std::string>{"-n", "/x/b.bin"}));
    EXPECT_TRUE(PairRouter::ScanModes("/nonexistent/modes").empty());
}
