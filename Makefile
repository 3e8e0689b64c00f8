# Two entry points for a fresh machine: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
DEBUG_BUILD ?= build-debug
WINDOWS_BUILD ?= build-windows
FUZZ_BUILD ?= build-fuzz
WEB_BUILD  ?= build-web
JOBS       ?= $(shell nproc)
# The face to start: the interactive shell without ARGS, the dialogues with ARGS=uci or ARGS=xboard.
ARGS       ?=
# make install: PREFIX/games/talvarind, its manual page and xboard's plugin file; DESTDIR stages them.
PREFIX     ?= /usr/local
DESTDIR    ?=

# CI builds fail on any compiler warning.
CMAKE_FLAGS = -G Ninja -DTALVARIND_WERROR=$(if $(CI),ON,OFF)
# The tests where GoogleTest is found (AUTO); the targets that run them insist on them (ON), so that a
# machine without it fails there rather than running no test.
TESTS      ?= AUTO
# Suites the everyday runs leave out: the Windows build's (make test-windows) and the soak (make soak).
LEFT_OUT   = windows|soak

.PHONY: all build configure engine run install uninstall package check test test-release test-asan test-tsan debug lint windows test-windows fuzz soak bench latency xboard-match sprt web web-run test-web clean

all: build

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DTALVARIND_TESTS=$(TESTS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program alone, without the tests and the bench tool.
engine: configure
	cmake --build $(BUILD) -j $(JOBS) --target talvarind

run: engine
	./$(BUILD)/talvarind $(ARGS)

# What was installed is listed in $(BUILD)/install_manifest.txt, which make uninstall removes.
install: engine
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -d '\n' rm -fv
	rm -f $(BUILD)/install_manifest.txt

# A Debian package of the installed files under /usr: $(BUILD)/talvarind_VERSION_ARCH.deb.
package: engine
	cd $(BUILD) && cpack -G DEB

test: test-release test-asan test-tsan

check test-release test-windows soak xboard-match: TESTS = ON

# For everyday work: the Release build and every suite but the slow ones (the xboard match).
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE '$(LEFT_OUT)|slow'

# Layout (clang-format) and a small set of clang-tidy checks over the sources.
lint:
	JOBS=$(JOBS) tools/lint

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE '$(LEFT_OUT)'

# The same suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DTALVARIND_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARIND_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		TALVARIND_SANITIZED=1 ctest --output-on-failure -j $(JOBS) -LE '$(LEFT_OUT)'

# The suites labelled "threads" (all but those of the single-threaded folders) once more under ThreadSanitizer.
test-tsan:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_FLAGS) -DTALVARIND_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARIND_SANITIZE=thread
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 TALVARIND_SANITIZED=1 \
		ctest --output-on-failure -j $(JOBS) -L threads -LE '$(LEFT_OUT)'

# 64-bit Windows executables, cross-built with Debian's mingw-w64 and linked statically.
windows:
	cmake -S . -B $(WINDOWS_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DTALVARIND_TESTS=OFF \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows executables under Wine, in a prefix of their own; skipped, and saying so, without the
# cross-compiler or Wine.
test-windows: build
	BUILD=$(BUILD) WINDOWS_BUILD=$(WINDOWS_BUILD) JOBS=$(JOBS) tests/wine/run

# Assertions on: every make and unmake is checked against a recomputation of the whole position. Deep
# counts are cut down as in the sanitizer builds.
debug:
	cmake -S . -B $(DEBUG_BUILD) $(CMAKE_FLAGS) -DTALVARIND_TESTS=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(DEBUG_BUILD) -j $(JOBS)
	cd $(DEBUG_BUILD) && TALVARIND_SANITIZED=1 ctest --output-on-failure -j $(JOBS) -LE '$(LEFT_OUT)'

# Every libFuzzer target for FUZZ_SECONDS (one after the other, on one processor); fails on a finding,
# skipped (and saying so) without clang and libFuzzer.
FUZZ_SECONDS ?= 60
fuzz:
	FUZZ_BUILD=$(FUZZ_BUILD) FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run

# Self-play, not part of make test: SOAK_GAMES games (6 to 13 s each here) between two engine processes
# with two threads each, at 2 s + 50 ms a side. SOAK_LOAD=1 adds two busy loops and a process that keeps
# allocating and touching SOAK_TOUCH_GIB GiB of memory.
SOAK_GAMES ?= 200
SOAK_LOAD  ?= 0
SOAK_TOUCH_GIB ?= 3
soak: build
	TALVARIND_SOAK_GAMES=$(SOAK_GAMES) TALVARIND_SOAK_LOAD=$(SOAK_LOAD) TALVARIND_SOAK_TOUCH_GIB=$(SOAK_TOUCH_GIB) \
		./$(BUILD)/talvarind-tests --gtest_filter='Soak.*'

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target talvarind-bench
	./$(BUILD)/talvarind-bench perft 6

# What an interface waits for (start-up, quit, stop, movetime), over LATENCY_RUNS runs; docs/latency.md.
LATENCY_RUNS ?= 5
latency: engine
	tools/latency --exe $(BUILD)/talvarind --runs $(LATENCY_RUNS)

# A longer match in xboard than the two games of the test suite: OPPONENT is fairymax or phalanx,
# ENGINE_BIN another build of ours to play instead of this one.
GAMES    ?= 20
OPPONENT ?= fairymax
xboard-match: build
	TALVARIND_XBOARD_GAMES=$(GAMES) TALVARIND_XBOARD_OPPONENT=$(OPPONENT) TALVARIND_XBOARD_ENGINE=$(ENGINE_BIN) \
		./$(BUILD)/talvarind-tests --gtest_filter='XBoardMatch.*'

# An SPRT match under fastchess between two commits (each built under build-sprt/) or two binaries
# (NEW_BIN, OLD_BIN); docs/strength.md.  TC is base seconds + increment; ELO0 and ELO1 are normalized Elo.
NEW    ?= HEAD
OLD    ?= main
TC     ?= 8+0.08
ELO0   ?= 0
ELO1   ?= 10
ROUNDS ?= 2000
sprt:
	JOBS=$(JOBS) tools/sprt --new '$(NEW)' --old '$(OLD)' --tc '$(TC)' --elo0 '$(ELO0)' --elo1 '$(ELO1)' \
		--rounds '$(ROUNDS)' $(if $(NEW_BIN),--new-bin '$(NEW_BIN)') $(if $(OLD_BIN),--old-bin '$(OLD_BIN)')

# The browser build: Debian's emscripten (whose optimiser needs Debian's JavaScript modules on NODE_PATH).
web:
	tools/web build

# The page on http://localhost:8080, served with the headers that threads need.
web-run: web
	tools/web run

# The browser build under Node, then the page in headless Chromium.
test-web:
	tools/web test

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(DEBUG_BUILD) $(WINDOWS_BUILD) $(FUZZ_BUILD)
