# Front door of the project: `make run` starts Quarvelo, `make test` runs every test.
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)

SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
export ASAN_OPTIONS = detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS = print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS = suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

.PHONY: all deps build test test-plain test-asan run bench package clean

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
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUARVELO_BENCH=OFF \
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

bench: deps $(BENCH_BUILD)/CMakeCache.txt
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@$(BENCH_BUILD)/bench/quarvelo_bench

# The Debian package, written into $(BUILD)/.
package: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && cpack
	@ls $(BUILD)/quarvelo_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
