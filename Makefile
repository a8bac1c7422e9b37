# Front door of the project: `make run` to start Quarvelo, `make test` to run every test.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test run clean

all: build

deps:
	@tools/install-deps

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

configure: $(BUILD)/CMakeCache.txt

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: deps
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

run: deps
	@$(MAKE) --no-print-directory build
	@echo "Quarvelo has no window yet: only the scale model and its tests are built so far."

clean:
	rm -rf $(BUILD)
