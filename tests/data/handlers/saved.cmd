define boolean flag
define lstring counted
define char letter
define nstring text
define ord1 o1
define ord2 o2
define ord4 o4
define ord8 o8
define ord12 o12
define ord16 o16
define int1 i1
define int2 i2
define int4 i4
define int8 i8
define real4 r4
define real8 r8
define real10 r10
#define twice i4 * 2
define pointer where
define proc hello ()
{
printf("hello %d\n", i4)
}
