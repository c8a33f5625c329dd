// The run driver's naming of default destinations.
#include "app/run.h"

#include <gtest/gtest.h>


namespace bitmosaic {
namespace {


struct Naming {
  const char* source;
  const char* destination;  // nullptr: no file extension
};

class DefaultDestination : public ::testing::TestWithParam<Naming> {};

TEST_P(DefaultDestination, CutsTheFileNameAtItsLastDot) {
  const Naming& n = GetParam();
  const std::optional<std::string> named = default_destination(n.source, ".out.kla");
  if (n.destination == nullptr)
    EXPECT_FALSE(named.has_value()) << n.source << " -> " << *named;
  else
    EXPECT_EQ(n.destination, named.value_or("(none)"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, DefaultDestination,
    ::testing::Values(Naming{"pic.kla", "pic.out.kla"},
                      Naming{"pic.old.kla", "pic.old.out.kla"},
                      Naming{"pics.v2/a.kla", "pics.v2/a.out.kla"},
                      Naming{"/x.y/z.w/pic.kla", "/x.y/z.w/pic.out.kla"},
                      Naming{"pic.", "pic.out.kla"}, Naming{".kla", ".out.kla"},
                      Naming{"pic", nullptr}, Naming{"dir.d/pic", nullptr},
                      Naming{"./pic", nullptr}, Naming{"", nullptr}));

}  // namespace
}  // namespace bitmosaic
