#pragma once

#include <QString>

// Names the rules of a race and the data it runs on: a version of the rules, and a digest of the
// track layouts, the pieces' surface maps and directions, and the car pictures whose pixels decide
// contacts. A replay made by a game whose rules or tracks differ would replay a different race, so
// it is refused. Raise RULES_VERSION with any change to how a race is run.
constexpr int RULES_VERSION = 1;

// "<version>-<digest>", for example "1-3fa9c2d17b04".
QString RulesIdentity();
