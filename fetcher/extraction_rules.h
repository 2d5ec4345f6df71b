// The rules one attempt at cutting an article out of a page applies. The
// first attempt uses all of them; when its article comes out too short,
// later attempts drop them one by one, since a page may name its article's
// container like furniture or keep the text in a list that looks like links.
#pragma once

namespace wrenly {

struct ExtractionRules {
  bool stripUnlikely = true;       // drop elements whose class or id names furniture
  bool weighClasses = true;        // let class and id hints move scores
  bool cleanConditionally = true;  // drop lists, tables and blocks that look like furniture
};

}  // namespace wrenly
