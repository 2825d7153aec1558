// The web page end to end: the real server program on loopback, filled with runs by the test,
// read by a real headless browser (Debian's chromium) and by plain HTTP requests.
#include "leaderboard_server/rules/score_histogram.h"
#include "tests/leaderboard_server/headless_browser.h"
#include "tests/leaderboard_server/server_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <regex>
#include <set>

using nlohmann::json;

namespace {

struct PostedRun {
  std::string cpu;
  int score;
  int threads;
};

const std::string kXss = "<img src=x onerror=alert(1)>";
// As long as a name may be, without a space to break it at.
const std::string kLongName(128, 'W');

// Ranked by average: 7950X, 5600X, 13900K, the XSS name, M2, then 1700 beyond --max-rows 4.
std::vector<PostedRun> multi_runs() {
  std::vector<PostedRun> runs;
  for (int i = 0; i < 12; ++i) runs.push_back({"AMD Ryzen 9 7950X", 30000 + (i * 7919) % 1500, i < 4 ? 16 : 32});
  runs.push_back({"AMD Ryzen 9 7950X", 90000, 32});  // an outlier: in the spread, not the average
  for (int score : {21000, 20500, 21900, 20800, 21200}) runs.push_back({"AMD Ryzen 5 5600X", score, 12});
  for (int score : {19000, 19400, 18800, 19900}) runs.push_back({"Intel Core i9-13900K", score, 32});
  for (int score : {15000, 15100}) runs.push_back({kXss, score, 8});
  for (int score : {12000, 12600, 11800}) runs.push_back({"Apple M2", score, 8});
  for (int score : {6000, 6100}) runs.push_back({"AMD Ryzen 7 1700", score, 16});
  return runs;
}

// Nearest rank as the textbook states it: the value at rank ceil(p/100 * n) in ascending order.
int reference_percentile(std::vector<int> v, double p) {
  std::sort(v.begin(), v.end());
  const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(p / 100.0 * static_cast<double>(v.size()))));
  return v[rank - 1];
}

class WebPage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    server_ = new ServerProcess(
        {"--database", dir_->file("web.sqlite"), "--rate-limit", "0", "--submissions-per-hour", "0", "--max-rows", "4",
         // Every run counts, as at a LAN event: the test's runs all come from one address.
         "--runs-counted-per-address", "0"},
        dir_->path());
    httplib::Client client("127.0.0.1", server_->port());
    const auto post = [&](const PostedRun& run, const std::string& kind) {
      const auto res = client.Post(
          "/api.php",
          json{{"cpu_name", run.cpu}, {"score", run.score}, {"threads", run.threads}, {"type", kind}}.dump(),
          "application/json");
      ASSERT_TRUE(res && res->status == 200 && res->body == R"({"ok":true})") << run.cpu;
    };
    for (const PostedRun& run : multi_runs()) post(run, "multi");
    post({"Intel Core i9-13900K", 2500, 1}, "single");
    post({kLongName, 2400, 1}, "single");
    for (int score : {3200, 3250, 3300}) post({"Intel Core i9-13900K", score, 2}, "smt");
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }

  static httplib::Result get(const std::string& target) {
    httplib::Client client("127.0.0.1", server_->port());
    return client.Get(target.c_str());
  }

  static std::string rendered(const std::string& target) {
    return dump_dom("http://127.0.0.1:" + std::to_string(server_->port()) + target, dir_->path());
  }

  // The processor names of the leaderboard rows in the document, as the browser shows them.
  static std::vector<std::string> row_names(const std::string& dom) {
    const std::regex link(R"(<td class="name"><a href="/cpu\?[^"]*">([^<]*)</a>)");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), link); it != std::sregex_iterator(); ++it)
      names.push_back((*it)[1]);
    return names;
  }

  static TempDir* dir_;
  static ServerProcess* server_;
};
TempDir* WebPage::dir_ = nullptr;
ServerProcess* WebPage::server_ = nullptr;

const std::string kXssAsText = "&lt;img src=x onerror=alert(1)&gt;";

TEST_F(WebPage, ApiRowsCarryThePercentilesOfEveryRunAndTheThreadCounts) {
  std::map<std::string, std::vector<int>> scores;
  std::map<std::string, std::set<int>> threads;
  for (const PostedRun& run : multi_runs()) {
    scores[run.cpu].push_back(run.score);
    threads[run.cpu].insert(run.threads);
  }
  const auto res = get("/api.php?type=multi");
  ASSERT_TRUE(res && res->status == 200);
  const json rows = json::parse(res->body)["leaderboard"];
  ASSERT_EQ(rows.size(), 4u);
  for (const auto& row : rows) {
    const auto& s = scores.at(row["cpu"]);
    SCOPED_TRACE(row.dump());
    EXPECT_EQ(row["runs"], s.size());
    // Percentiles come from the score histogram: in the bucket (1 %) of the exact run.
    EXPECT_EQ(score_bucket(row["median"]), score_bucket(reference_percentile(s, 50)));
    EXPECT_EQ(score_bucket(row["p10"]), score_bucket(reference_percentile(s, 10)));
    EXPECT_EQ(score_bucket(row["p90"]), score_bucket(reference_percentile(s, 90)));
    EXPECT_EQ(row["min"], *std::min_element(s.begin(), s.end()));
    EXPECT_EQ(row["max"], *std::max_element(s.begin(), s.end()));
    EXPECT_EQ(row["threads"], std::vector<int>(threads.at(row["cpu"]).begin(), threads.at(row["cpu"]).end()));
  }
  EXPECT_EQ(rows[0]["max"], 90000);  // the outlier counts in the spread
  EXPECT_LT(rows[0]["avg_score"], 32000);
}

TEST_F(WebPage, PageFilesAreSmallServedFromHereOnlyAndCachedAsLongAsTheLeaderboard) {
  std::size_t total = 0;
  for (const auto& [target, type] : std::vector<std::pair<std::string, std::string>>{
           {"/", "text/html"}, {"/cpu", "text/html"}, {"/app.js", "text/javascript"}, {"/style.css", "text/css"}}) {
    SCOPED_TRACE(target);
    const auto res = get(target);
    ASSERT_TRUE(res && res->status == 200);
    EXPECT_EQ(res->get_header_value("Content-Type").rfind(type, 0), 0u);
    EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "default-src 'self'; frame-ancestors 'none'");
    EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(res->get_header_value("Cache-Control"), "max-age=2");
    total += res->body.size();
    if (type == "text/html") {
      // Script and style come as files of this server only; the policy would block the rest anyway.
      EXPECT_EQ(res->body.find("<style"), std::string::npos);
      EXPECT_EQ(res->body.find(" style="), std::string::npos);
      EXPECT_EQ(res->body.find("<script>"), std::string::npos);
      EXPECT_EQ(res->body.find("=\"http"), std::string::npos);
      EXPECT_EQ(res->body.find("=\"//"), std::string::npos);
    }
  }
  EXPECT_LT(total, 50u * 1024);
  const auto data = get("/board.json?kind=multi");
  ASSERT_TRUE(data && data->status == 200);
  EXPECT_EQ(data->get_header_value("Cache-Control"), "max-age=2");
  EXPECT_EQ(get("/board.json?kind=both")->status, 400);
  EXPECT_EQ(get("/cpu.json?kind=multi&name=Unknown")->status, 404);
  // An unknown path answers a browser with a page that leads back, a program with JSON.
  httplib::Client client("127.0.0.1", server_->port());
  const auto page = client.Get("/no/such/page", {{"Accept", "text/html,application/xhtml+xml,*/*;q=0.8"}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 404);
  EXPECT_EQ(page->get_header_value("Content-Type").rfind("text/html", 0), 0u);
  EXPECT_NE(page->body.find(R"(<a href="/">)"), std::string::npos);
  EXPECT_EQ(get("/no/such/page")->get_header_value("Content-Type").rfind("application/json", 0), 0u);
}

TEST_F(WebPage, TheBrowserShowsTheRankedRowsWithNamesAsText) {
  const std::string dom = rendered("/?kind=multi");
  EXPECT_EQ(row_names(dom),
            (std::vector<std::string>{"AMD Ryzen 9 7950X", "AMD Ryzen 5 5600X", "Intel Core i9-13900K", kXssAsText}));
  EXPECT_EQ(dom.find("<img"), std::string::npos);
  EXPECT_NE(dom.find("6 processors, the first 4 shown."), std::string::npos);
  EXPECT_NE(dom.find(R"(<body class="multi">)"), std::string::npos);
  EXPECT_NE(dom.find(R"(<td class="rank">1</td>)"), std::string::npos);
  // Every row has its spread bar: whisker, box and median.
  const std::regex bar(R"(<svg [^>]*class="bar"[^>]*><title>median [^<]*</title><line [^>]*class="whisker"></line>)"
                       R"(<rect [^>]*class="box"></rect><line [^>]*class="median"></line></svg>)");
  EXPECT_EQ(std::distance(std::sregex_iterator(dom.begin(), dom.end(), bar), std::sregex_iterator()), 4);
  EXPECT_NE(
      dom.find("<title>median 15,000, 10th–90th percentile 15,000–15,100, minimum 15,000, maximum 15,100</title>"),
      std::string::npos);

  const std::string single = rendered("/?kind=single");
  EXPECT_EQ(row_names(single), (std::vector<std::string>{"Intel Core i9-13900K", kLongName}));
  EXPECT_NE(single.find(R"(<body class="single">)"), std::string::npos);
}

TEST_F(WebPage, TheSmtTabIsTheThirdBoardAndAProcessorWithBothKindsShowsItsUplift) {
  const std::string smt = rendered("/?kind=smt");
  EXPECT_EQ(row_names(smt), std::vector<std::string>{"Intel Core i9-13900K"});
  EXPECT_NE(smt.find(R"(<body class="smt">)"), std::string::npos);
  EXPECT_NE(smt.find(R"(id="tab-smt" class="smt" href="/?kind=smt" aria-current="page">SMT</a>)"), std::string::npos);
  // Median SMT 3,250 over median single-core 2,500: +30 %, on each of its pages.
  for (const char* kind : {"single", "smt", "multi"}) {
    const std::string page = rendered(std::string("/cpu?name=Intel+Core+i9-13900K&kind=") + kind);
    EXPECT_NE(page.find("<dt>SMT uplift</dt><dd>+30 %</dd>"), std::string::npos) << kind;
  }
  // Without SMT runs there is nothing to compare.
  EXPECT_EQ(rendered("/cpu?name=AMD+Ryzen+9+7950X&kind=multi").find("SMT uplift"), std::string::npos);
}

TEST_F(WebPage, TheSearchFiltersEveryProcessorOnTheServer) {
  // The 1700 is sixth, past the four rows the unfiltered page shows, and is found all the same.
  const std::string dom = rendered("/?q=ryzen&kind=multi");
  EXPECT_EQ(row_names(dom), (std::vector<std::string>{"AMD Ryzen 9 7950X", "AMD Ryzen 5 5600X", "AMD Ryzen 7 1700"}));
  EXPECT_NE(dom.find(R"(<td class="rank">6</td><td class="name"><a href="/cpu?name=AMD+Ryzen+7+1700&amp;kind=multi">)"),
            std::string::npos);
  EXPECT_NE(dom.find("3 of 6 processors match “ryzen”."), std::string::npos);
  // The tabs keep the filter, so that switching the kind keeps the search.
  EXPECT_NE(dom.find(R"(href="/?kind=single&amp;q=ryzen")"), std::string::npos);

  const std::string markup = rendered("/?q=%3Cimg&kind=multi");
  EXPECT_EQ(row_names(markup), std::vector<std::string>{kXssAsText});
  EXPECT_EQ(markup.find("<img"), std::string::npos);
  const std::string none = rendered("/?q=no+such+cpu&kind=multi");
  EXPECT_TRUE(row_names(none).empty());
  // Nothing to explain: no column headers, no legend.
  EXPECT_NE(none.find(R"(<table id="board" hidden="")"), std::string::npos) << none;
  EXPECT_NE(none.find(R"(<p class="legend" id="legend" hidden="")"), std::string::npos);
}

TEST_F(WebPage, AProcessorsPageShowsItsRankHistogramThreadsAndRunsOverTime) {
  const std::string dom = rendered("/cpu?name=AMD+Ryzen+9+7950X&kind=multi");
  EXPECT_NE(dom.find(R"(<h1 id="name">AMD Ryzen 9 7950X</h1>)"), std::string::npos);
  EXPECT_NE(dom.find("<dt>Rank</dt><dd>#1 of 6</dd>"), std::string::npos);
  EXPECT_NE(dom.find("<dt>Runs</dt><dd>13</dd>"), std::string::npos);
  EXPECT_NE(dom.find("<li>16 threads: 4 runs</li><li>32 threads: 9 runs</li>"), std::string::npos);
  const auto count = [&](const std::string& pattern) {
    const std::regex re(pattern);
    return std::distance(std::sregex_iterator(dom.begin(), dom.end(), re), std::sregex_iterator());
  };
  EXPECT_EQ(count(R"(<circle [^>]*class="dot")"), 1);  // one dot per day: every run was posted today
  EXPECT_EQ(count(R"(<rect [^>]*class="bin")"), 20);
  // The histogram's bars are labelled with their counts, which add up to the runs.
  long long counted = 0;
  const std::regex label(R"(<text [^>]*class="count">(\d+)</text>)");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), label); it != std::sregex_iterator(); ++it)
    counted += std::stoll((*it)[1]);
  EXPECT_EQ(counted, 13);

  const std::string xss = rendered("/cpu?name=%3Cimg+src%3Dx+onerror%3Dalert%281%29%3E&kind=multi");
  EXPECT_NE(xss.find(R"(<h1 id="name">)" + kXssAsText + "</h1>"), std::string::npos);
  EXPECT_EQ(xss.find("<img"), std::string::npos);
  EXPECT_NE(xss.find("<dt>Rank</dt><dd>#4 of 6</dd>"), std::string::npos);

  const std::string unknown = rendered("/cpu?name=Unknown&kind=single");
  EXPECT_NE(unknown.find("No single-core results for this processor"), std::string::npos);
}

// Resolves once the page's script has shown its rows or its figures (or said why not), with the
// document's width and how many rows and figures it shows.
constexpr const char* kSettled = R"js(new Promise((resolve) => {
  const status = document.getElementById('status');
  const report = () => resolve({
    width: document.documentElement.scrollWidth,
    items: document.querySelectorAll('#rows tr, #facts div').length,
  });
  const settled = () => !status.textContent.startsWith('Loading');
  if (settled()) return report();
  new MutationObserver(() => { if (settled()) report(); })
    .observe(status, { childList: true, characterData: true, subtree: true });
}))js";

TEST_F(WebPage, NothingScrollsSidewaysOnAPhoneAndNoNameOpensADialog) {
  DevToolsTab phone(dir_->path(), 390, 844);
  const std::string site = "http://127.0.0.1:" + std::to_string(server_->port());
  for (const std::string& target : std::vector<std::string>{
           "/?kind=multi", "/?kind=single", "/?kind=multi&q=ryzen", "/cpu?name=" + kLongName + "&kind=single",
           "/cpu?name=%3Cimg+src%3Dx+onerror%3Dalert%281%29%3E&kind=multi"}) {
    SCOPED_TRACE(target);
    phone.open(site + target);
    const json page = phone.evaluate(kSettled);
    EXPECT_EQ(page["width"], 390);
    EXPECT_GT(page["items"], 0);
  }
  EXPECT_FALSE(phone.dialog_opened());
}

TEST_F(WebPage, TypingInTheSearchBoxFiltersAndPutsTheFilterInTheAddress) {
  DevToolsTab tab(dir_->path(), 1280, 900);
  tab.open("http://127.0.0.1:" + std::to_string(server_->port()) + "/?kind=multi");
  tab.evaluate(kSettled);
  const json typed = tab.evaluate(R"js(new Promise((resolve) => {
    const status = document.getElementById('status');
    new MutationObserver(() => {
      if (!status.textContent.includes('match')) return;
      resolve({
        names: [...document.querySelectorAll('#rows td.name a')].map((a) => a.textContent),
        address: location.pathname + location.search,
      });
    }).observe(status, { childList: true, characterData: true, subtree: true });
    const box = document.getElementById('q');
    box.value = 'I9';
    box.dispatchEvent(new Event('input'));
  }))js");
  EXPECT_EQ(typed["names"], json::array({"Intel Core i9-13900K"}));
  EXPECT_EQ(typed["address"], "/?q=I9&kind=multi");
}

// Rows whose average counts fewer than 5 runs: dimmed and marked, and left out by the filter,
// which the address keeps as the search is kept.
TEST_F(WebPage, RowsOfFewRunsAreDimmedAndTheFilterKeepsOnlyRowsOfAtLeastFive) {
  const std::string dom = rendered("/?kind=multi");
  const std::regex few(R"(<tr class="few" title="Average of (\d) counted runs?: [^"]*"><td class="rank">\d</td>)"
                       R"(<td class="name"><a [^>]*>([^<]*)</a><span class="few-label">few runs</span>)");
  std::vector<std::string> dimmed;
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), few); it != std::sregex_iterator(); ++it)
    dimmed.push_back((*it)[1].str() + " " + (*it)[2].str());
  // The 7950X (13 runs) and the 5600X (5) are sure enough; the 13900K (4) and the XSS name (2) not.
  EXPECT_EQ(dimmed, (std::vector<std::string>{"4 Intel Core i9-13900K", "2 " + kXssAsText}));

  DevToolsTab tab(dir_->path(), 1280, 900);
  const std::string site = "http://127.0.0.1:" + std::to_string(server_->port());
  tab.open(site + "/?kind=multi");
  tab.evaluate(kSettled);
  const std::string shown = R"js(({
    names: [...document.querySelectorAll('#rows td.name a')].map((a) => a.textContent),
    address: location.pathname + location.search,
    checked: document.getElementById('min-runs').checked,
    status: document.getElementById('status').textContent,
    tab: document.getElementById('tab-single').getAttribute('href'),
  }))js";
  EXPECT_EQ(tab.evaluate(shown)["checked"], false);
  tab.evaluate(R"js(new Promise((resolve) => {
    const status = document.getElementById('status');
    new MutationObserver(() => resolve()).observe(status, { childList: true, characterData: true, subtree: true });
    document.getElementById('min-runs').click();
  }))js");
  json page = tab.evaluate(shown);
  EXPECT_EQ(page["names"], json::array({"AMD Ryzen 9 7950X", "AMD Ryzen 5 5600X"}));
  EXPECT_EQ(page["address"], "/?kind=multi&min_runs=5");
  EXPECT_EQ(page["status"], "2 of 6 processors with at least 5 runs.");
  EXPECT_EQ(page["tab"], "/?kind=single&min_runs=5");

  // A shared link opens with the filter on, together with the search.
  tab.open(site + "/?q=intel&kind=multi&min_runs=5");
  tab.evaluate(kSettled);
  page = tab.evaluate(shown);
  EXPECT_EQ(page["checked"], true);
  EXPECT_EQ(page["names"], json::array());
  EXPECT_EQ(page["status"], "No processor matches “intel” with at least 5 runs.");
  EXPECT_EQ(get("/board.json?kind=multi&min_runs=five")->status, 400);
}

TEST_F(WebPage, AProcessorsPageSaysHowManyRunsItsHistogramRestsOn) {
  // The 5600X's runs: 20500, 20800, 21000, 21200, 21900.
  const std::string dom = rendered("/cpu?name=AMD+Ryzen+5+5600X&kind=multi");
  EXPECT_NE(dom.find(R"(<p id="histogram-note" class="note">Based on 5 runs. Eight in ten scored between 20,500 and )"
                     R"(21,900 (10th to 90th percentile).</p>)"),
            std::string::npos)
      << dom;
  const std::string few = rendered("/cpu?name=Apple+M2&kind=multi");
  EXPECT_NE(few.find("Based on 3 runs. Eight in ten scored between 11,800 and 12,600 (10th to 90th percentile). "
                     "The average counts 3 of them: too few to be sure of it."),
            std::string::npos);
}

}  // namespace
