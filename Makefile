# make run   install what is missing, build, start Pelorins
# make test  install what is missing, build, run every test headless
# make bench build and run the benchmarks
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/Pelorins/pelorins

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	@for b in $(BUILD)/bench/*; do \
		if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$(basename $$b)"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

clean:
	rm -rf $(BUILD)
