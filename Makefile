# Thin wrapper over CMake. `make run` evaluates the shipped layouts on the
# shipped sample; `make test` builds and runs every test; `make install`
# installs under PREFIX (default /usr/local; DESTDIR is honoured too).
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all build run test sanitize tsan fuzz bench clean install report regression-guard

all: build

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

# The build's messages go to standard error, so `make run | less` shows the report alone.
run:
	@$(MAKE) --no-print-directory build >&2
	@cd examples && ../$(BUILD)/kbeval --output-encoding=utf-8 sample.txt

# The shipped example's HTML report ($(BUILD)/report.html) and a picture of
# its top as a browser shows it (docs/report.png), taken with headless Chromium.
CHROMIUM ?= $(firstword $(shell command -v chromium-headless-shell chromium 2>/dev/null))
report: build
	cd examples && ../$(BUILD)/kbeval --quiet sample.txt --html=$(CURDIR)/$(BUILD)/report.html >/dev/null
	@test -n "$(CHROMIUM)" || { echo "make report: no chromium-headless-shell or chromium for the picture" >&2; exit 1; }
	profile=$$(mktemp -d) && $(CHROMIUM) --no-sandbox --disable-gpu --no-first-run \
	  --disable-background-networking --disable-component-update --disable-sync \
	  --user-data-dir=$$profile --hide-scrollbars --window-size=1400,1640 \
	  --screenshot=$(CURDIR)/docs/report.png file://$(CURDIR)/$(BUILD)/report.html 2>/dev/null; \
	  status=$$?; rm -rf $$profile; exit $$status
	@echo "wrote $(BUILD)/report.html and docs/report.png"

# The prefix is set when configuring, so that --help and the man page name
# the directory the layouts are installed in.
install:
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	cmake --install $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Any finding stops the test that hit it, with a stack trace.
sanitize: export ASAN_OPTIONS = detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
sanitize: export UBSAN_OPTIONS = print_stacktrace=1
sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=Debug -DKBEVAL_SANITIZE=ON -DKBEVAL_WERROR=ON"

# The whole suite under ThreadSanitizer: the layouts' walks run on threads.
tsan: export TSAN_OPTIONS = halt_on_error=1:second_deadlock_stack=1
tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKBEVAL_TSAN=ON -DKBEVAL_WERROR=ON"

# libFuzzer targets (clang, ASan + UBSan): each runs FUZZ_SECONDS from its seeds.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DKBEVAL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)
	fuzz/run $(FUZZ_SECONDS)

bench: build
	bench/run
	bench/optimize

clean:
	rm -rf build build-sanitize build-tsan build-fuzz

# Regenerates examples/keyboard/*.txt from libhangul-data (apt-get install libhangul-data).
.PHONY: layouts
layouts:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target kbeval-import -j $(JOBS)
	tools/import/regenerate $(BUILD)/kbeval-import

# Saves the outputs the regression guard compares against (tests/data/
# regression_guard/expected), from the programs as they are now: only after a
# change meant to alter an output, and review the difference before committing.
regression-guard:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) --target kbeval_regression_guard -j $(JOBS)
	KBEVAL_REGENERATE_GUARD=1 $(BUILD)/tests/kbeval_regression_guard
