// The README and docs/ point at each other: every relative link must name a file of the tree (or of a
// build folder, which only a make target fills), and a link with a #fragment a heading of that file, as a
// Markdown viewer derives its anchors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& File) {
  std::ifstream In(File);
  std::stringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

// "## Set-up on a fresh machine" gives "set-up-on-a-fresh-machine".
std::set<std::string> Anchors(const std::string& Text) {
  std::set<std::string> Result;
  const std::regex Heading(R"(^#+ (.*)$)", std::regex::multiline);
  for (std::sregex_iterator It(Text.begin(), Text.end(), Heading), End; It != End; ++It) {
    std::string Anchor;
    for (char C : (*It)[1].str()) {
      if (C >= 'A' && C <= 'Z') Anchor += char(C - 'A' + 'a');
      else if ((C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '-' || C == '_') Anchor += C;
      else if (C == ' ') Anchor += '-';
    }
    Result.insert(Anchor);
  }
  return Result;
}

TEST(DocLinks, EveryRelativeLinkResolves) {
  const fs::path Root = TALVARIND_SOURCE_DIR;
  std::vector<fs::path> Pages = {Root / "README.md"};
  for (const auto& Entry : fs::directory_iterator(Root / "docs"))
    if (Entry.path().extension() == ".md") Pages.push_back(Entry.path());

  const std::regex Link(R"(\]\(([^)\s]+)\))");
  int Checked = 0;
  for (const fs::path& Page : Pages) {
    const std::string Text = Read(Page);
    for (std::sregex_iterator It(Text.begin(), Text.end(), Link), End; It != End; ++It) {
      const std::string Target = (*It)[1].str();
      if (Target.find("://") != std::string::npos) continue;
      const size_t Hash = Target.find('#');
      const std::string File = Target.substr(0, Hash);
      const fs::path Linked = File.empty() ? Page : Page.parent_path() / File;
      // A build folder's files (the page's screenshots) exist only once a make target has written them.
      const std::string Top = (*Linked.lexically_normal().lexically_relative(Root).begin()).string();
      if (Top.rfind("build", 0) == 0) continue;
      Checked++;
      if (!fs::exists(Linked)) {
        ADD_FAILURE() << Page.filename() << " links to " << Target << ", which does not exist";
      } else if (Hash != std::string::npos && !Anchors(Read(Linked)).count(Target.substr(Hash + 1))) {
        ADD_FAILURE() << Page.filename() << " links to " << Target << ", a heading " << Linked.filename()
                      << " does not have";
      }
    }
  }
  EXPECT_GT(Checked, 5);
}

}  // namespace
