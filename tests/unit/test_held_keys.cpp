// The held-key set: ten slots of key-down copies, lowest free slot first,
// removal by key symbol only.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CpSDL.h"
#include "TestSupport.h"

namespace {

const char kFull[] = "Error: too many events\n";
const char kMissing[] = "Error: deleting an unexisting element\n";

// A key event with every byte outside the key fields set to a pattern, so a
// copy of only some fields shows up as a difference.
SDL_Event KeyEvent(Uint8 type, SDLKey sym, Uint8 scancode = 0, SDLMod mod = KMOD_NONE, Uint16 unicode = 0) {
  SDL_Event e;
  std::memset(&e, 0xA5, sizeof e);
  e.type = type;
  e.key.type = type;
  e.key.keysym.sym = sym;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  e.key.keysym.unicode = unicode;
  return e;
}

SDL_Event Down(SDLKey sym, Uint8 scancode = 0) { return KeyEvent(SDL_KEYDOWN, sym, scancode); }
SDL_Event Up(SDLKey sym) { return KeyEvent(SDL_KEYUP, sym); }

class HeldKeySetTest : public testing::Test {
 protected:
  // The set never frees what it still holds; the test does, for leak checkers.
  void TearDown() override {
    for (SDL_Event*& e : keys.events) {
      delete e;
      e = nullptr;
    }
  }

  std::string Add(SDL_Event e) {
    return CaptureOutput([&] { keys.add(&e); });
  }
  std::string Remove(SDL_Event e) {
    return CaptureOutput([&] { keys.remove(e); });
  }

  // Key symbol of each slot, SDLK_UNKNOWN for an empty one.
  std::vector<SDLKey> Slots() const {
    std::vector<SDLKey> syms;
    for (SDL_Event* e : keys.events) syms.push_back(e ? e->key.keysym.sym : SDLK_UNKNOWN);
    return syms;
  }

  set keys;
};

const SDLKey kNone = SDLK_UNKNOWN;

TEST_F(HeldKeySetTest, StartsEmpty) { EXPECT_EQ(Slots(), std::vector<SDLKey>(10, kNone)); }

TEST_F(HeldKeySetTest, AddKeepsAnOwnCopyOfTheWholeRecord) {
  SDL_Event original = Down(SDLK_UP, 111);
  EXPECT_EQ(Add(original), "");
  ASSERT_NE(keys.events[0], nullptr);
  EXPECT_NE(keys.events[0], &original);
  EXPECT_EQ(std::memcmp(keys.events[0], &original, sizeof original), 0);
}

TEST_F(HeldKeySetTest, FreedSlotIsTakenByTheNextKey) {
  for (SDLKey k : {SDLK_a, SDLK_b, SDLK_c}) EXPECT_EQ(Add(Down(k)), "");
  EXPECT_EQ(Remove(Up(SDLK_b)), "");
  EXPECT_EQ(Slots(),
            (std::vector<SDLKey>{SDLK_a, kNone, SDLK_c, kNone, kNone, kNone, kNone, kNone, kNone, kNone}));
  EXPECT_EQ(Add(Down(SDLK_d)), "");
  EXPECT_EQ(Slots(),
            (std::vector<SDLKey>{SDLK_a, SDLK_d, SDLK_c, kNone, kNone, kNone, kNone, kNone, kNone, kNone}));
}

TEST_F(HeldKeySetTest, EleventhKeyIsReportedAndNotHeld) {
  std::vector<SDLKey> ten;
  for (int i = 0; i < 10; ++i) ten.push_back((SDLKey)(SDLK_0 + i));
  for (SDLKey k : ten) EXPECT_EQ(Add(Down(k)), "");

  EXPECT_EQ(Add(Down(SDLK_z)), kFull);
  EXPECT_EQ(Slots(), ten);
  // Its release finds nothing to free and the ten stay held.
  EXPECT_EQ(Remove(Up(SDLK_z)), kMissing);
  EXPECT_EQ(Slots(), ten);
}

struct MissingCase {
  const char* name;
  std::vector<SDL_Event> held;
};

class HeldKeySetMissingTest : public HeldKeySetTest, public testing::WithParamInterface<MissingCase> {};

TEST_P(HeldKeySetMissingTest, RemovingAKeyNotHeldIsReportedAndChangesNothing) {
  for (const SDL_Event& e : GetParam().held) Add(e);
  std::vector<SDLKey> before = Slots();
  EXPECT_EQ(Remove(Up(SDLK_q)), kMissing);
  EXPECT_EQ(Slots(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeldKeySetMissingTest,
                         testing::Values(MissingCase{"empty_set", {}},
                                         MissingCase{"other_keys_held", {Down(SDLK_w), Down(SDLK_e)}},
                                         // Only key-down copies count as held, whatever add was given.
                                         MissingCase{"same_symbol_but_not_a_key_down", {Up(SDLK_q)}}),
                         [](const testing::TestParamInfo<MissingCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(HeldKeySetTest, TwoCopiesOfOneKeyAreFreedLowestSlotFirst) {
  Add(Down(SDLK_a, 1));
  Add(Down(SDLK_b));
  Add(Down(SDLK_a, 2));

  EXPECT_EQ(Remove(Up(SDLK_a)), "");
  EXPECT_EQ(keys.events[0], nullptr);
  ASSERT_NE(keys.events[2], nullptr);
  EXPECT_EQ(keys.events[2]->key.keysym.scancode, 2);

  EXPECT_EQ(Remove(Up(SDLK_a)), "");
  EXPECT_EQ(Slots(),
            (std::vector<SDLKey>{kNone, SDLK_b, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone}));
  EXPECT_EQ(Remove(Up(SDLK_a)), kMissing);
}

TEST_F(HeldKeySetTest, ReleaseMatchesOnTheKeySymbolAlone) {
  Add(KeyEvent(SDL_KEYDOWN, SDLK_UP, 111, KMOD_NONE, 0));
  // Shift went down in between: modifiers, scancode and unicode all differ.
  EXPECT_EQ(Remove(KeyEvent(SDL_KEYUP, SDLK_UP, 62, KMOD_LSHIFT, 'U')), "");
  EXPECT_EQ(Slots(), std::vector<SDLKey>(10, kNone));
}

}  // namespace
