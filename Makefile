# Front door of the project: `make run` starts Quarvelo, `make test` runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)

SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
# No strict_string_checks: it takes counted, unterminated strings handed to strndup and the like
# for overflows, and libxkbcommon-x11 (in every program on X) hands it X atom names that way.
export ASAN_OPTIONS = detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1
export UBSAN_OPTIONS = print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS = suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: all deps build test test-plain test-asan run bench package fuzz fuzz-run clean

all: build

deps:
	@tools/install-deps

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS)

test: deps
	@$(MAKE) --no-print-directory test-plain
	@$(MAKE) --no-print-directory test-asan

test-plain: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt:
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUARVELO_BENCH=OFF -DQUARVELO_PACKAGE_TEST=OFF \
	    -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" >/dev/null

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, leaks included.
test-asan: $(ASAN_BUILD)/CMakeCache.txt
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

run: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD)/recordings && exec ../quarvelo

$(BENCH_BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DQUARVELO_TESTS=OFF >/dev/null

# Every benchmark's table, then the startup probe's (a few minutes: each of its runs idles).
# FluidR3_GM is installed too, so that the probe measures both soundfonts Debian offers.
bench: deps $(BENCH_BUILD)/CMakeCache.txt
	@tools/install-deps fluid-soundfont-gm
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@$(BENCH_BUILD)/bench/quarvelo_bench
	@$(BENCH_BUILD)/bench/quarvelo_window_bench
	@bench/startup-probe $(BENCH_BUILD)/quarvelo

# The Debian package, written into $(BUILD)/.
package: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && cpack
	@ls $(BUILD)/quarvelo_*.deb

# The recording check under libFuzzer for FUZZ_SECONDS, seeded with the 45 recordings; the
# corpus it grows is kept in $(FUZZ_BUILD)/corpus, what crashes it in $(FUZZ_BUILD)/crashes.
# Needs clang and its runtime; not part of `make test`.
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer \
    -fno-sanitize-recover=undefined

fuzz: deps
	@tools/install-deps clang libclang-rt-14-dev
	@$(MAKE) --no-print-directory fuzz-run

$(FUZZ_BUILD)/CMakeCache.txt:
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	    -DQUARVELO_FUZZ=ON -DQUARVELO_BENCH=OFF \
	    -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined" \
	    >/dev/null

fuzz-run: $(FUZZ_BUILD)/CMakeCache.txt
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target recording_check_fuzzer recordings
	@mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/crashes
	@$(FUZZ_BUILD)/tests/fuzz/recording_check_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	    -max_len=4096 -print_final_stats=1 -artifact_prefix=$(CURDIR)/$(FUZZ_BUILD)/crashes/ \
	    $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/recordings

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
