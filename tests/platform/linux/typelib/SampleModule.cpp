// A module that carries the MORVEN type library as its resource, so the
// tests can load it from a module file without the component itself.
extern "C" __attribute__((visibility("default"))) int typelibSampleModule()
{
    return 1;
}
